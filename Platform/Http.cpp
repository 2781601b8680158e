#include "Http.h"

#include <QEventLoop>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace Platform {
namespace {
QMutex g_mutex;
Http::Transport g_transport;

HttpReply networkGet(const QUrl &url, double timeoutSeconds)
{
    HttpReply result;
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setTransferTimeout(int(timeoutSeconds * 1000));
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, reply, &QNetworkReply::abort);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    guard.start(int(timeoutSeconds * 1000) + 500);
    // Only network events: a blocking request must not run other work of the
    // thread (timers, queued blocks) in the middle of the caller.
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError || result.status > 0) {
        result.ok = reply->error() == QNetworkReply::NoError;
        result.body = reply->readAll();
    }
    if (reply->error() != QNetworkReply::NoError)
        result.error = reply->errorString();
    delete reply;
    return result;
}
} // namespace

HttpReply Http::get(const QUrl &url, double timeoutSeconds)
{
    Transport transport;
    {
        QMutexLocker lock(&g_mutex);
        transport = g_transport;
    }
    if (transport)
        return transport(url, timeoutSeconds);
    return networkGet(url, timeoutSeconds);
}

void Http::setTransport(Transport transport)
{
    QMutexLocker lock(&g_mutex);
    g_transport = std::move(transport);
}

} // namespace Platform
