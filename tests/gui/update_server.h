// A stand-in update service on 127.0.0.1 for the update check's tests: it records each request's head and
// answers with a prepared response, or stays silent.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <vector>

class UpdateServer {
  public:
    UpdateServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] { Accept(); });
    }

    // "HTTP/1.1 <status>" with the body; a Content-Length header unless `chunked`.
    static QByteArray Http(int status, const QByteArray& body) {
        return "HTTP/1.1 " + QByteArray::number(status) +
               " X\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }
    void Answer(int status, const QByteArray& body) { response_ = Http(status, body); }
    void Silent() { response_.clear(); }

    bool Listening() const { return server_.isListening(); }
    quint16 Port() const { return server_.serverPort(); }
    QString Url(const QString& path = QStringLiteral("/pad/wavetrove.xml")) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(Port()).arg(path);
    }
    const std::vector<QByteArray>& Requests() const { return requests_; }
    // Runs as each request's head arrives, before it is answered.
    std::function<void()> OnRequest;

  private:
    void Accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            auto* head = new QByteArray;
            QObject::connect(socket, &QObject::destroyed, [head] { delete head; });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, head] {
                *head += socket->readAll();
                if (!head->contains("\r\n\r\n") || head->isEmpty()) return;
                requests_.push_back(*head);
                head->clear();
                if (OnRequest) OnRequest();
                if (response_.isEmpty()) return;  // silent: keep the connection open, say nothing
                socket->write(response_);
                socket->disconnectFromHost();
            });
        }
    }

    QTcpServer server_;
    QByteArray response_;
    std::vector<QByteArray> requests_;
};
