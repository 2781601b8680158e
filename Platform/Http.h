#pragma once
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>

namespace Platform {

struct HttpReply {
    bool ok = false; // a reply arrived (any HTTP status)
    int status = 0;  // HTTP status code
    QByteArray body;
    QString error; // why there is no reply
};

// Blocking HTTP GET, usable on any thread (it runs its own event loop for the
// duration of the request), with a time-out so a machine without network
// answers in seconds. Tests can put their own transport in its place.
class Http {
public:
    static HttpReply get(const QUrl &url, double timeoutSeconds);

    using Transport = std::function<HttpReply(const QUrl &url, double timeoutSeconds)>;
    static void setTransport(Transport transport);
};

} // namespace Platform
