// The update check: the request on its own thread over Qt Network with a total deadline and a small
// answer limit, the comparison of versions, and the report as messages or console lines.
#include "gui/versioncheck.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QStringList>
#include <QTimer>
#include <QUrlQuery>
#include <QWidget>
#include <array>
#include <cstdio>

#include "gui/messages.h"
#include "wvt/settings.h"

namespace {

std::atomic<int> gDeadlineMs{15000};

const char* kUserAgent = "CheckUpdates/1.0";

QString NewVersionText(const QString& answer, const QString& site) {
    return QStringLiteral("There is a new version ") + answer +
           QStringLiteral(" of this program\navailable at ") + site;
}

QString UpToDateText(const QString& own) {
    return QStringLiteral("You already have the latest version ") + own + QStringLiteral(" of this program");
}

QString FailureText(const QString& address) {
    return QStringLiteral("Could not download file version information from: \n") + address;
}

std::optional<std::array<quint64, 4>> FourNumbers(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4) return std::nullopt;
    std::array<quint64, 4> numbers{};
    for (int i = 0; i < 4; ++i) {
        const QString& part = parts[i];
        if (part.isEmpty() || part.size() > 9) return std::nullopt;
        for (const QChar c : part)
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        numbers[static_cast<size_t>(i)] = part.toULongLong();
    }
    return numbers;
}

QString AddressOrDefault(const QString& stored, const char* built) {
    if (IsWebAddress(QUrl(stored, QUrl::StrictMode))) return stored;
    const QString fallback = QString::fromUtf8(built);
    if (IsWebAddress(QUrl(fallback, QUrl::StrictMode))) return fallback;
    return {};
}

}  // namespace

QString FileVersion() {
    QStringList parts = QStringLiteral(WAVETROVE_VERSION).split(QLatin1Char('.'));
    while (parts.size() < 4) parts << QStringLiteral("0");
    return parts.mid(0, 4).join(QLatin1Char('.'));
}

bool IsWebAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.isRelative() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

UpdateAddresses ReadUpdateAddresses(const QString& settingsFile) {
    QString url, download, site;
    if (!settingsFile.isEmpty()) {
        const QSettings store(settingsFile, QSettings::IniFormat);
        url = store.value(QStringLiteral("Update/url")).toString().trimmed();
        download = store.value(QStringLiteral("Update/download")).toString().trimmed();
        site = store.value(QStringLiteral("Update/site")).toString().trimmed();
    }
    UpdateAddresses addresses;
    addresses.url = AddressOrDefault(url, WAVETROVE_UPDATE_URL);
    addresses.download = AddressOrDefault(download, WAVETROVE_DOWNLOAD_URL);
    if (addresses.download.isEmpty() && !addresses.url.isEmpty()) {
        // The root of the update information address's site.
        QUrl root(addresses.url);
        root.setPath(QStringLiteral("/"));
        root.setQuery(QString());
        root.setFragment(QString());
        root.setUserInfo(QString());
        addresses.download = root.toString();
    }
    addresses.site = !site.isEmpty() ? site : QString::fromUtf8(WAVETROVE_UPDATE_SITE).trimmed();
    if (addresses.site.isEmpty()) addresses.site = QUrl(addresses.download).host();
    return addresses;
}

QUrl UpdateRequestUrl(const QString& url) {
    const QUrl info(url);
    QUrl request;
    request.setScheme(info.scheme());
    request.setHost(info.host());
    request.setPort(info.port());
    request.setPath(QStringLiteral("/pad/getpad.php"));
    const QByteArray pad = QUrl::toPercentEncoding(info.path(QUrl::FullyDecoded));
    request.setQuery(QStringLiteral("pad=") + QString::fromLatin1(pad) + QStringLiteral("&field=version"),
                     QUrl::StrictMode);
    return request;
}

std::optional<QString> ParseVersionAnswer(const QByteArray& body) {
    qsizetype first = 0, last = body.size();
    while (first < last && static_cast<unsigned char>(body[first]) <= 32) ++first;
    while (last > first && static_cast<unsigned char>(body[last - 1]) <= 32) --last;
    const QString text = QString::fromLatin1(body.mid(first, last - first));
    if (!FourNumbers(text)) return std::nullopt;
    return text;
}

bool IsNewerVersion(const QString& remote, const QString& local) {
    const auto a = FourNumbers(remote.trimmed());
    const auto b = FourNumbers(local.trimmed());
    if (!a || !b) return false;
    return *b < *a;  // the four numbers in order, the first that differs decides
}

TVInfoDownload::TVInfoDownload(const QString& address, bool reportErrors, int deadlineMs)
    : address_(address), reportErrors_(reportErrors), deadlineMs_(deadlineMs) {}

void TVInfoDownload::Stop() {
    requestInterruption();
    exit(1);  // leaves the request's event loop, also one that has not started yet
}

void TVInfoDownload::run() {
    bool failed = true;
    QString answer;
    if (IsWebAddress(QUrl(address_))) {
        QNetworkAccessManager manager;
        QNetworkRequest request(UpdateRequestUrl(address_));
        request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromLatin1(kUserAgent));
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        QNetworkReply* reply = manager.get(request);
        // A plain reply keeps the whole body: read as it comes and give up past the limit.
        reply->setReadBufferSize(TVInfoDownload::kMaxAnswer + 1);
        QByteArray body;
        bool tooLong = false;
        bool late = false;
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
            body += reply->readAll();
            if (body.size() > kMaxAnswer) {
                tooLong = true;
                reply->abort();
            }
        });
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, reply, [&] {
            late = true;
            reply->abort();
        });
        QTimer poll;  // an interruption also ends the loop when exit() came before it started
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (isInterruptionRequested()) loop.quit();
        });
        deadline.start(deadlineMs_);
        poll.start(20);
        if (!reply->isFinished() && !isInterruptionRequested()) loop.exec();
        if (isInterruptionRequested()) {
            reply->abort();
            delete reply;
            return;
        }
        if (!tooLong && !late && reply->isFinished() && reply->error() == QNetworkReply::NoError) {
            body += reply->readAll();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (status == 200 && body.size() <= kMaxAnswer) {
                if (auto version = ParseVersionAnswer(body)) {
                    failed = false;
                    answer = *version;
                }
            }
        }
        delete reply;
    }
    if (!isInterruptionRequested()) emit Finished(failed, answer);
}

TVersionCheck::TVersionCheck(QWidget* owner) : owner_(owner) {
    // The version is compiled in, so it is always found.
    ownVersion = FileVersion();
    productName = QStringLiteral("Wavetrove");
    description = QStringLiteral("Batch audio converter");
    versionInfoFound = true;
}

TVersionCheck::~TVersionCheck() {
    // Closing the program abandons a running request without a word.
    if (thread_) {
        thread_->disconnect(this);
        thread_->Stop();
        thread_->wait();
    }
}

void TVersionCheck::SetDeadline(int ms) {
    gDeadlineMs = ms;
}

int TVersionCheck::Deadline() {
    return gDeadlineMs;
}

bool TVersionCheck::Running() const {
    return reporting_ || (thread_ && !thread_->isFinished()) || pending_.has_value();
}

void TVersionCheck::Check() {
    const Flags flags{reportErrors, askOnNewVersion, reportUpToDate};
    if (reporting_ || thread_) {
        pending_ = flags;  // after the running check has reported
        return;
    }
    Start(flags);
}

void TVersionCheck::Start(const Flags& flags) {
    running_ = flags;
    thread_ = std::make_unique<TVInfoDownload>(addresses.url, flags.reportErrors, Deadline());
    connect(thread_.get(), &TVInfoDownload::Finished, this, &TVersionCheck::Done, Qt::QueuedConnection);
    thread_->start();
}

void TVersionCheck::Done(bool failed, const QString& answer) {
    if (thread_) {
        thread_->wait();  // it has nothing left to do after reporting
        thread_.reset();
    }
    reporting_ = true;
    QPointer<TVersionCheck> alive(this);
    ShowCheckResult(failed, answer, running_);
    if (!alive) return;  // the program closed while the message was open
    reporting_ = false;
    emit Reported();
    if (pending_) {
        const Flags next = *pending_;
        pending_.reset();
        Start(next);
    }
}

void TVersionCheck::ShowCheckResult(bool failed, const QString& answer, const Flags& flags) {
    QWidget* owner = owner_.data();
    if (failed) {
        if (flags.reportErrors)
            ShowMessage(owner, QMessageBox::Critical, QStringLiteral("Error!"), FailureText(addresses.url));
        return;
    }
    if (!versionInfoFound) return;
    const QString remote = answer.trimmed();
    if (IsNewerVersion(remote, ownVersion)) {
        if (!flags.askOnNewVersion) return;
        const bool yes = AskYesNo(
            owner, productName,
            NewVersionText(answer, addresses.site) + QStringLiteral("\nDo you want to download it now?"));
        const QUrl download(addresses.download);
        // Only a web address is handed to the desktop: never a local program or file.
        if (yes && IsWebAddress(download)) OpenAddress(download);
        return;
    }
    if (flags.reportUpToDate)
        ShowMessage(owner, QMessageBox::Question, productName, UpToDateText(ownVersion));
}

int CheckUpdatesOnConsole(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const UpdateAddresses addresses = ReadUpdateAddresses(QString::fromStdString(SettingsFile().string()));
    bool failed = true;
    QString answer;
    if (!addresses.url.isEmpty()) {
        TVInfoDownload download(addresses.url, true, TVersionCheck::Deadline());
        QEventLoop loop;
        QObject::connect(
            &download, &TVInfoDownload::Finished, &loop,
            [&](bool f, const QString& a) {
                failed = f;
                answer = a;
                loop.quit();
            },
            Qt::QueuedConnection);
        download.start();
        loop.exec();
        download.wait();
    }
    if (failed) {
        std::fprintf(stderr, "%s\n", FailureText(addresses.url).toLocal8Bit().constData());
        return 1;
    }
    const QString own = FileVersion();
    if (IsNewerVersion(answer, own))
        std::printf("%s\n%s\n", NewVersionText(answer, addresses.site).toLocal8Bit().constData(),
                    addresses.download.toLocal8Bit().constData());
    else
        std::printf("%s\n", UpToDateText(own).toLocal8Bit().constData());
    return 0;
}
