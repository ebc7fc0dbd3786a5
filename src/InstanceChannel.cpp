#include "InstanceChannel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The longest path a handed-over message may carry.
constexpr qint64 MaxMessage = 64 * 1024;

// A real folder (no link) of this user that nobody else may enter; a folder
// of this user left open is closed.
bool IsPrivateFolder(const QString &dir) {
  const QByteArray name = QFile::encodeName(dir);
  struct stat st {};
  if (::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
    return false;
  if ((st.st_mode & 077) != 0 && ::chmod(name.constData(), 0700) != 0)
    return false;
  return true;
}

bool WriteAll(int fd, const QByteArray &data) {
  qsizetype done = 0;
  while (done < data.size()) {
    const ssize_t n = ::send(fd, data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += n;
  }
  return true;
}

// One attempt: connect, send, and wait until the reader has read the
// message and closed its end.
bool SendOnce(const QByteArray &socketName, const QByteArray &message) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socketName.constData(), size_t(socketName.size()));
  bool sent = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 && WriteAll(fd, message);
  if (sent) {
    ::shutdown(fd, SHUT_WR);
    char byte;
    sent = ::recv(fd, &byte, 1, 0) == 0;  // the reader closes once it has the path
  }
  ::close(fd);
  return sent;
}

}  // namespace

QString PrivateRuntimeDir(const QString &tmpDir) {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && IsPrivateFolder(runtime))
    return QDir::cleanPath(runtime);
  const QString base = tmpDir.isEmpty() ? QDir::tempPath() : tmpDir;
  const QString own = QDir(base).filePath("pagelume-" + QString::number(::geteuid()));
  ::mkdir(QFile::encodeName(own).constData(), 0700);  // may exist already
  return IsPrivateFolder(own) ? own : QString();
}

QString InstanceSocketPath(const QString &lockPath, const QString &tmpDir) {
  const QString dir = PrivateRuntimeDir(tmpDir);
  if (dir.isEmpty())
    return QString();
  // Two locks of one user (other temporary folders) are two instances.
  const QByteArray hash = QCryptographicHash::hash(QFileInfo(lockPath).absoluteFilePath().toUtf8(),
                                                   QCryptographicHash::Sha1)
                              .toHex()
                              .left(12);
  return QDir(dir).filePath(QFileInfo(lockPath).fileName() + '-' + QString::fromLatin1(hash));
}

bool HandBookOver(const QString &socketPath, const QString &book, int waitMs) {
  const QByteArray name = QFile::encodeName(socketPath);
  if (socketPath.isEmpty() || size_t(name.size()) >= sizeof(sockaddr_un::sun_path))
    return false;
  // A path holds no NUL: it ends the message.
  const QByteArray message = QFile::encodeName(QFileInfo(book).absoluteFilePath()) + '\0';
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    if (SendOnce(name, message))
      return true;
    if (waited.elapsed() >= waitMs)
      return false;
    QThread::msleep(50);
  }
}

TInstanceServer::TInstanceServer(QObject *parent) : QObject(parent), Server(new QLocalServer(this)) {
  Server->setSocketOptions(QLocalServer::UserAccessOption);
  connect(Server, &QLocalServer::newConnection, this, &TInstanceServer::Accept);
}

bool TInstanceServer::Listen(const QString &socketPath) {
  if (socketPath.isEmpty())
    return false;
  QLocalServer::removeServer(socketPath);
  return Server->listen(socketPath);
}

void TInstanceServer::Accept() {
  while (QLocalSocket *socket = Server->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // Only a process of this user is heard, whatever the folder allows.
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
        peer.uid != ::geteuid()) {
      socket->abort();
      continue;
    }
    auto message = std::make_shared<QByteArray>();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, message] { Read(socket, *message); });
    if (socket->bytesAvailable() > 0)
      Read(socket, *message);
  }
}

void TInstanceServer::Read(QLocalSocket *socket, QByteArray &message) {
  message += socket->readAll();
  const qsizetype end = message.indexOf('\0');
  if (end < 0) {
    if (message.size() > MaxMessage)
      socket->abort();
    return;
  }
  const QString path = QFile::decodeName(message.left(end));
  message.clear();
  socket->disconnectFromServer();
  if (QDir::isAbsolutePath(path))
    emit BookHandedOver(path);
}
