#pragma once

#include <atomic>

// A process-wide default that a test can replace for a scope: the clock, the folder of the data
// files, the message boxes, the file dialogs and the desktop shell all reach the code this way.
//
// current() gives the replacement installed last, or the default when none is. A Scope installs a
// replacement for as long as it lives and puts the previous one back afterwards, so scopes nest.
// The slot is atomic because worker threads read the clock while a test installs one; installing
// and removing happen on one thread.
//
// `Tag` keeps two seams of the same type apart (two settings held as text, say).
template <typename Interface, typename Tag = Interface>
class Seam {
public:
    static Interface& current(Interface& fallback)
    {
        Interface* replacement = installed();
        return replacement ? *replacement : fallback;
    }

    // The replacement in place, or null.
    static Interface* installed() { return s_installed.load(std::memory_order_acquire); }

    class Scope {
    public:
        explicit Scope(Interface& replacement)
            : m_previous(s_installed.exchange(&replacement, std::memory_order_acq_rel))
        {
        }
        ~Scope() { s_installed.store(m_previous, std::memory_order_release); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        Interface* m_previous;
    };

private:
    static inline std::atomic<Interface*> s_installed{nullptr};
};
