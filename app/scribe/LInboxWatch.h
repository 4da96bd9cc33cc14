// Tells the window which of the inbox's sources to list again: a folder as
// soon as inotify reports a change (a rescan on a timer where it cannot
// watch), an FTP directory at its own polling interval, an IMAP pool or
// mailbox as soon as the server reports a change on a connection of its own
// (IDLE; a listing every 5 s where the server lacks IDLE). One thread per
// folder or IMAP source waits on its watch; what they notice is delivered on
// the GUI thread.
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
    // An IMAP source without IDLE is listed this often; a broken watch
    // connection is tried again after it.
    static constexpr uint32_t kImapPollMs = 5000;

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
    class Mail;
    struct Polled {
        std::string name;
        int64_t nIntervalMs = 0;
        int64_t nDueMs = 0;
    };
    void Poll();

    std::vector<std::unique_ptr<Folder>> m_folders;
    std::vector<std::unique_ptr<Mail>> m_mails;
    std::vector<Polled> m_polled;
    QTimer m_poll;
};
