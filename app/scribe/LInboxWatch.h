// Tells the window which of the inbox's sources to list again: a folder as
// soon as inotify reports a change (a rescan on a timer where it cannot
// watch), an FTP directory at its own polling interval. One thread per folder
// waits on its watch; what they notice is delivered on the GUI thread.
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

class LScribeInbox;

class LInboxWatch : public QObject {
    Q_OBJECT
public:
    // Where inotify cannot watch a folder, how often it is listed anyway.
    static constexpr uint32_t kFallbackMs = 30000;
    // Changes that follow one another within this time are listed once.
    static constexpr uint32_t kSettleMs = 150;

    LInboxWatch();
    ~LInboxWatch() override;

    // Replaces what is watched by the inbox's sources as they are now.
    void Watch(const LScribeInbox& inbox);
    void Stop();

    // Whether a name in a watched folder can change the list: the status
    // files and hidden or temporary names that typists write cannot.
    static bool MattersToList(const std::string& name);

signals:
    // The names of the sources whose listing may have changed.
    void Changed(const QStringList& sources);

private:
    class Folder;
    struct Polled {
        std::string name;
        int64_t nIntervalMs = 0;
        int64_t nDueMs = 0;
    };
    void Poll();

    std::vector<std::unique_ptr<Folder>> m_folders;
    std::vector<Polled> m_polled;
    QTimer m_poll;
};
