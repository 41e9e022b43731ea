#pragma once

#include "model/Records.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <vector>

class WebsiteTree;

// What the search field above the links list asks for. The typed text (UTF-8) is split into words
// at blanks; a link matches when every word occurs in its page address, first name, last name,
// e-mail or the name of its website. Words of ASCII letters compare with a to z folded, as
// everywhere else, right on the stored bytes; a word with other letters compares with Unicode
// case folding on the decoded text, which only fields holding such letters can match.
// An empty search matches every link.
class LinkSearch {
public:
    LinkSearch() = default;
    // The websites give the names; the search keeps what it needs of them.
    LinkSearch(QByteArrayView typed, const WebsiteTree& websites);

    bool isEmpty() const { return m_words.empty(); }
    const QByteArray& text() const { return m_typed; }
    bool matches(const rMonitorInfo& link) const;
    // Asks for the memory of the texts that matches() reads, ahead of the test.
    static void prefetch(const rMonitorInfo& link);

    // True when every link that this search matches is matched by `wider` too, whatever the
    // link holds: the list then needs to test only the links that `wider` matched.
    bool within(const LinkSearch& wider) const;

private:
    struct Word {
        QByteArray upper;                   // ASCII words: the bytes with a to z upper-cased
        QString folded;                     // the other words: case-folded (and `upper` is empty)
        std::vector<std::int32_t> siteIds;  // websites whose name holds the word, sorted

        bool unicode() const { return !folded.isEmpty(); }
        bool foundIn(QByteArrayView field) const;
        bool implies(const Word& other) const;
    };

    QByteArray m_typed;
    std::vector<Word> m_words;
};

// Whether `text` contains `upper`, taking a to z in `text` as A to Z; `upper` holds no a to z.
bool ContainsFolded(QByteArrayView text, QByteArrayView upper);
