// Writing to a Qt device from standard streams (the RTF writer's output),
// with short writes retried so that a failure keeps its reason.
#pragma once

#include <QIODevice>
#include <streambuf>
#include <vector>

// Writes all of the data; a short write is tried again, so that the device
// records why it stopped (a full disk).
bool WriteAll(QIODevice &device, const char *data, qint64 length);

// An output stream's buffer over a device: 64 KB gathered per write, larger
// pieces written straight through.
class TDeviceStreamBuffer : public std::streambuf {
public:
  explicit TDeviceStreamBuffer(QIODevice &device);

protected:
  int overflow(int c) override;
  std::streamsize xsputn(const char *s, std::streamsize n) override;
  int sync() override { return Drain() ? 0 : -1; }

private:
  bool Drain();
  QIODevice &Device;
  std::vector<char> Buffer;
};
