#include "app/WindowState.h"

#include "app/LinksPane.h"
#include "app/WebsitesPane.h"
#include "model/LinkColumns.h"
#include "model/SettingsFile.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

#include <algorithm>

namespace {

// A size read from a hand-edited file may be anything; a window larger than every screen together
// is of no use and a huge one would exhaust memory for its backing store.
QSize BoundedToScreens(QSize size, const QMainWindow& window)
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    const QSize limit = screen ? screen->virtualSize() : QSize(4096, 4096);
    return QSize(std::clamp(size.width(), 1, std::max(1, limit.width())),
                 std::clamp(size.height(), 1, std::max(1, limit.height())));
}

void RestoreFrame(const SettingsFile& settings, QMainWindow& window)
{
    if (settings.read(Keys::WindowMax)) {
        window.setWindowState(window.windowState() & ~Qt::WindowMaximized);
        window.resize(BoundedToScreens(QSize(WindowState::DesignWidth, WindowState::DesignHeight), window));
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
    } else {
        window.setWindowState(window.windowState() & ~Qt::WindowMaximized);
        window.resize(
            BoundedToScreens(QSize(settings.read(Keys::WindowWidth), settings.read(Keys::WindowHeight)), window));
    }
}

}  // namespace

void WindowState::Restore(const SettingsFile& settings, QMainWindow& window, WebsitesPane& websites, LinksPane& links)
{
    websites.SelectWebsiteById(settings.read(Keys::CurrentSite));

    // A backup restored into a maximized window leaves it as it is: taking it out of that state and
    // back in would leave it drawn at its normal size inside the maximized frame on some desktops.
    if (!(window.isVisible() && window.isMaximized()))
        RestoreFrame(settings, window);

    for (int column = 0; column < LinkColumnCount; ++column)
        links.setColumnWidth(column, settings.read(Keys::ColumnWidth(column)));
    for (int column = 0; column < LinkColumnCount; ++column) {
        if (LinksPane::columnAlwaysShown(column))
            continue;
        const int shown = settings.read(Keys::ColumnVisible(column));
        links.setColumnChoice(column, shown == Keys::NoChoice ? std::nullopt : std::optional<bool>(shown != 0));
    }
    links.setDetailsHeight(settings.read(Keys::DetailsHeight));
    links.setDetailsShown(settings.read(Keys::ShowDetails));
}

void WindowState::Save(SettingsFile& settings, const QMainWindow& window, const WebsitesPane& websites,
                       const LinksPane& links)
{
    settings.write(Keys::CurrentSite, websites.focusedId());
    if (window.isMaximized()) {
        settings.write(Keys::WindowMax, true);
    } else {
        settings.write(Keys::WindowMax, false);
        settings.write(Keys::WindowWidth, window.width());
        settings.write(Keys::WindowHeight, window.height());
    }
    for (int column = 0; column < LinkColumnCount; ++column)
        settings.write(Keys::ColumnWidth(column), links.columnWidth(column));
    for (int column = 0; column < LinkColumnCount; ++column) {
        if (LinksPane::columnAlwaysShown(column))
            continue;
        const IntKey key = Keys::ColumnVisible(column);
        if (const std::optional<bool> shown = links.columnChoice(column))
            settings.write(key, *shown ? 1 : 0);
        else if (settings.read(key) != Keys::NoChoice)
            settings.writeString(key.section, key.key, {});  // back to the column's rule
    }
    settings.write(Keys::ShowDetails, links.detailsShown());
    settings.write(Keys::DetailsHeight, links.detailsHeight());
}
