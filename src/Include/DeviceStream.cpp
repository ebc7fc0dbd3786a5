#include "DeviceStream.h"

#include <algorithm>

bool WriteAll(QIODevice &device, const char *data, qint64 length) {
  while (length > 0) {
    const qint64 n = device.write(data, length);
    if (n <= 0)
      return false;
    data += n;
    length -= n;
  }
  return true;
}

TDeviceStreamBuffer::TDeviceStreamBuffer(QIODevice &device) : Device(device), Buffer(1 << 16) {
  setp(Buffer.data(), Buffer.data() + Buffer.size());
}

int TDeviceStreamBuffer::overflow(int c) {
  if (!Drain())
    return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize TDeviceStreamBuffer::xsputn(const char *s, std::streamsize n) {
  if (n > epptr() - pptr()) {
    if (!Drain())
      return 0;
    if (n > std::streamsize(Buffer.size()))
      return WriteAll(Device, s, n) ? n : 0;
  }
  std::copy(s, s + n, pptr());
  pbump(int(n));
  return n;
}

bool TDeviceStreamBuffer::Drain() {
  const qint64 n = pptr() - pbase();
  if (!WriteAll(Device, pbase(), n))
    return false;
  setp(Buffer.data(), Buffer.data() + Buffer.size());
  return true;
}
