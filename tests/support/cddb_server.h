// A CDDB server over HTTP on 127.0.0.1 for the CD tests, started and stopped by the test: it answers each
// "cddb ..." command through a handler that may also make it misbehave (hang, drip, flood, send garbage,
// fail, redirect, close), and it counts what it was asked.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct CddbReply {
    enum class Kind { Http, Hang, Drip, Flood, Garbage, Redirect, Close };
    Kind kind = Kind::Http;
    int status = 200;
    std::string body;      // Http, and Drip (sent a byte at a time)
    std::string location;  // Redirect
};

// Gets the decoded command ("cddb query 07001703 3 150 923 1501 25").
using CddbHandler = std::function<CddbReply(const std::string& command)>;

class CddbServer {
  public:
    explicit CddbServer(CddbHandler handler);
    ~CddbServer();
    CddbServer(const CddbServer&) = delete;
    CddbServer& operator=(const CddbServer&) = delete;

    int Port() const { return port_; }
    // "127.0.0.1:port/~cddb/cddb.cgi", the form of the program's server setting.
    std::string Address() const;
    int Requests() const;
    std::vector<std::string> Commands() const;
    std::vector<std::string> Hellos() const;   // the decoded hello parameters
    std::vector<std::string> Targets() const;  // request targets as sent

  private:
    void Accept();
    void Serve(int fd);

    CddbHandler handler_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::vector<std::thread> clients_;
    std::vector<int> fds_;
    std::vector<std::string> commands_, hellos_, targets_;
};

// A port on 127.0.0.1 with nobody listening (for "server down").
int ClosedPort();

// An xmcd record: DISCID, DTITLE "artist / album", DYEAR (omitted when 0), DGENRE, TTITLEn, with CR LF ends.
std::string CddbRecord(const std::string& discId, const std::string& dtitle,
                       const std::vector<std::string>& titles, int year, const std::string& genre);

// A well-behaved server for one disc: "200" for its query with the category "rock", "210" and the record for
// its read, "202" for any other disc.
CddbHandler ServeRecord(const std::string& discId, const std::string& record);

}  // namespace testsupport
