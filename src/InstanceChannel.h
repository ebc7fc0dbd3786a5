// The hand-over of a book from a second start to the reader that already
// runs for the same user: a local socket in a folder only the user can enter.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// The user's private folder for the socket: $XDG_RUNTIME_DIR when it is the
// user's own folder closed to others, else "pagelume-" + the user id in tmpDir
// (default: the temporary folder), made with mode 0700. Empty when neither is
// safe to use (a folder of another user, a link, a folder open to others
// that cannot be closed).
QString PrivateRuntimeDir(const QString &tmpDir = QString());
// The socket that belongs to the instance lock at lockPath: named after the
// lock, so that exactly the starts that share a lock share the socket. Empty
// when there is no private folder.
QString InstanceSocketPath(const QString &lockPath, const QString &tmpDir = QString());

// Sends the book's path (made absolute against the current folder) to the
// reader that listens on socketPath, trying for up to waitMs while that
// reader is still starting. False when no reader took it.
bool HandBookOver(const QString &socketPath, const QString &book, int waitMs);

// The running reader's end: takes paths from the starts of the same user.
class TInstanceServer : public QObject {
  Q_OBJECT
public:
  explicit TInstanceServer(QObject *parent = nullptr);
  // Listens on socketPath. A socket left there is stale (the caller holds the
  // instance lock) and is taken over.
  bool Listen(const QString &socketPath);

signals:
  void BookHandedOver(const QString &path);

private:
  void Accept();
  void Read(QLocalSocket *socket, QByteArray &message);
  QLocalServer *Server;
};
