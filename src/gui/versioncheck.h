// The program's own version, and the update check: one request to the update service on a background
// thread for the latest release's version, compared with ours, reported on the main thread (or on the
// console for `wavetrove --check-updates`).
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <memory>
#include <optional>

class QWidget;

// The file version: four dot-separated numbers (the build's version, padded with ".0").
QString FileVersion();

// Where the check asks and where a new release is fetched: the group [Update] of the settings file (read,
// never written), else the build's defaults. An address that is not absolute http or https is ignored.
struct UpdateAddresses {
    QString url;       // update information address; empty: no check is possible
    QString download;  // opened when the user accepts a new version
    QString site;      // named in the question as the place of the download
};
UpdateAddresses ReadUpdateAddresses(const QString& settingsFile);
bool IsWebAddress(const QUrl& url);

// The request for the latest version: the update information address's scheme, host and port with the
// path "/pad/getpad.php" and the query "pad=<its path>&field=version".
QUrl UpdateRequestUrl(const QString& url);
// The answer trimmed of bytes up to 32 when it is exactly four dot-separated decimal numbers of 1 to 9
// digits; nothing otherwise.
std::optional<QString> ParseVersionAnswer(const QByteArray& body);
// True when `remote` is a later version than `local`, comparing the four numbers in order; false when
// either is not four numbers.
bool IsNewerVersion(const QString& remote, const QString& local);

// The request thread. It reports once through Finished unless it was stopped.
class TVInfoDownload : public QThread {
    Q_OBJECT
  public:
    static constexpr qint64 kMaxAnswer = 1024;

    TVInfoDownload(const QString& address, bool reportErrors, int deadlineMs);
    // Abandons the request: the thread ends at once and reports nothing.
    void Stop();
    bool ReportErrors() const { return reportErrors_; }

  signals:
    void Finished(bool failed, const QString& answer);

  protected:
    void run() override;

  private:
    const QString address_;
    const bool reportErrors_;
    const int deadlineMs_;
};

class TVersionCheck : public QObject {
    Q_OBJECT
  public:
    // `owner` carries the messages; the version is the program's own.
    explicit TVersionCheck(QWidget* owner);
    ~TVersionCheck() override;

    // Starts a check; while one runs, the next starts once it has reported.
    void Check();
    // A request is running or its report is showing.
    bool Running() const;

    QString ownVersion;
    QString productName;
    QString description;
    bool versionInfoFound = false;
    UpdateAddresses addresses;
    bool reportErrors = false;
    bool askOnNewVersion = true;
    bool reportUpToDate = true;

    // The whole request's time limit (15 s); tests shorten it.
    static void SetDeadline(int ms);
    static int Deadline();

  signals:
    // A check has shown its outcome (or nothing, as its flags asked).
    void Reported();

  private:
    struct Flags {
        bool reportErrors, askOnNewVersion, reportUpToDate;
    };
    void Start(const Flags& flags);
    void Done(bool failed, const QString& answer);
    void ShowCheckResult(bool failed, const QString& answer, const Flags& flags);

    QPointer<QWidget> owner_;
    std::unique_ptr<TVInfoDownload> thread_;
    Flags running_{};
    bool reporting_ = false;
    std::optional<Flags> pending_;
};

// `wavetrove --check-updates`: the check without a window; makes its own core application. Answers the
// process exit code (0 when the check got an answer, 1 when it failed).
int CheckUpdatesOnConsole(int argc, char** argv);
