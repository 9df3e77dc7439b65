#include "platform/socket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/tick.h"

namespace {

using namespace platform::net;

std::span<const uint8_t> Bytes(const char* s) {
  return {reinterpret_cast<const uint8_t*>(s), std::strlen(s)};
}

// A listening TCP socket on 127.0.0.1 with a system-chosen port.
Socket Listener(SockAddrV4* where) {
  int err = 0;
  Socket s = Socket::Open(Socket::Kind::kStream, &err);
  EXPECT_TRUE(s.Valid()) << err;
  EXPECT_EQ(s.Bind(SockAddrV4::Loopback(0)), 0);
  EXPECT_EQ(s.Listen(4), 0);
  EXPECT_EQ(s.LocalAddress(where), 0);
  EXPECT_NE(where->port(), 0);
  return s;
}

TEST(SocketError, ErrnoMapping) {
  EXPECT_EQ(SocketErrorFromErrno(EINTR), 10004);
  EXPECT_EQ(SocketErrorFromErrno(EBADF), 10009);
  EXPECT_EQ(SocketErrorFromErrno(EACCES), 10013);
  EXPECT_EQ(SocketErrorFromErrno(EFAULT), 10014);
  EXPECT_EQ(SocketErrorFromErrno(EINVAL), 10022);
  EXPECT_EQ(SocketErrorFromErrno(EMFILE), 10024);
  EXPECT_EQ(SocketErrorFromErrno(EAGAIN), 10035);
  EXPECT_EQ(SocketErrorFromErrno(EWOULDBLOCK), 10035);
  EXPECT_EQ(SocketErrorFromErrno(EINPROGRESS), 10036);
  EXPECT_EQ(SocketErrorFromErrno(EALREADY), 10037);
  EXPECT_EQ(SocketErrorFromErrno(ENOTSOCK), 10038);
  EXPECT_EQ(SocketErrorFromErrno(EDESTADDRREQ), 10039);
  EXPECT_EQ(SocketErrorFromErrno(EMSGSIZE), 10040);
  EXPECT_EQ(SocketErrorFromErrno(EPROTOTYPE), 10041);
  EXPECT_EQ(SocketErrorFromErrno(ENOPROTOOPT), 10042);
  EXPECT_EQ(SocketErrorFromErrno(EPROTONOSUPPORT), 10043);
  EXPECT_EQ(SocketErrorFromErrno(EOPNOTSUPP), 10045);
  EXPECT_EQ(SocketErrorFromErrno(EAFNOSUPPORT), 10047);
  EXPECT_EQ(SocketErrorFromErrno(EADDRINUSE), 10048);
  EXPECT_EQ(SocketErrorFromErrno(EADDRNOTAVAIL), 10049);
  EXPECT_EQ(SocketErrorFromErrno(ENETDOWN), 10050);
  EXPECT_EQ(SocketErrorFromErrno(ENETUNREACH), 10051);
  EXPECT_EQ(SocketErrorFromErrno(ENETRESET), 10052);
  EXPECT_EQ(SocketErrorFromErrno(ECONNABORTED), 10053);
  EXPECT_EQ(SocketErrorFromErrno(ECONNRESET), 10054);
  EXPECT_EQ(SocketErrorFromErrno(EPIPE), 10054);
  EXPECT_EQ(SocketErrorFromErrno(ENOBUFS), 10055);
  EXPECT_EQ(SocketErrorFromErrno(EISCONN), 10056);
  EXPECT_EQ(SocketErrorFromErrno(ENOTCONN), 10057);
  EXPECT_EQ(SocketErrorFromErrno(ESHUTDOWN), 10058);
  EXPECT_EQ(SocketErrorFromErrno(ETIMEDOUT), 10060);
  EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(SocketErrorFromErrno(ELOOP), 10062);
  EXPECT_EQ(SocketErrorFromErrno(ENAMETOOLONG), 10063);
  EXPECT_EQ(SocketErrorFromErrno(EHOSTDOWN), 10064);
  EXPECT_EQ(SocketErrorFromErrno(EHOSTUNREACH), 10065);
  // Unlisted values stay inside the failure range.
  EXPECT_TRUE(IsSocketFailure(-SocketErrorFromErrno(0)));
  EXPECT_TRUE(IsSocketFailure(-SocketErrorFromErrno(ENOENT)));
  EXPECT_TRUE(IsSocketFailure(-10054));
  EXPECT_TRUE(IsSocketFailure(-11004));
  EXPECT_FALSE(IsSocketFailure(-1));
  EXPECT_FALSE(IsSocketFailure(0));
}

TEST(SockAddr, LayoutAndText) {
  const SockAddrV4 a = SockAddrV4::Loopback(0x1234);
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(&a);
  EXPECT_EQ(raw[0], 2);  // AF_INET, little-endian as in the traditional layout
  EXPECT_EQ(raw[1], 0);
  EXPECT_EQ(raw[2], 0x12);  // port, network order
  EXPECT_EQ(raw[3], 0x34);
  EXPECT_EQ(raw[4], 127);
  EXPECT_EQ(raw[7], 1);
  for (int i = 8; i < 16; ++i) EXPECT_EQ(raw[i], 0);
  EXPECT_EQ(a.port(), 0x1234);
  EXPECT_EQ(a.ToString(), "127.0.0.1:4660");
  EXPECT_EQ(SockAddrV4::Any(80).ToString(), "0.0.0.0:80");
  EXPECT_TRUE(a == SockAddrV4::Loopback(0x1234));
  EXPECT_FALSE(a == SockAddrV4::Loopback(0x1235));
}

TEST(Resolve, DottedAddressResolvesToItself) {
  SockAddrV4 out;
  ASSERT_EQ(ResolveHostV4("10.1.2.3", 5000, &out), 0);
  EXPECT_EQ(out.ToString(), "10.1.2.3:5000");
  const uint8_t ip[4] = {10, 1, 2, 3};
  EXPECT_TRUE(out == SockAddrV4::Make(ip, 5000));
}

TEST(Resolve, LocalhostResolves) {
  SockAddrV4 out;
  ASSERT_EQ(ResolveHostV4("localhost", 7, &out), 0);
  EXPECT_EQ(out.port(), 7);
  EXPECT_EQ(out.addr[0], 127);
}

TEST(Resolve, UnknownHostFails) {
  SockAddrV4 out;
  const int rc = ResolveHostV4("no-such-host.invalid", 80, &out);
  EXPECT_LE(rc, -11001);
  EXPECT_GE(rc, -11004);
  EXPECT_TRUE(IsSocketFailure(rc));
}

TEST(Resolve, LocalHostNameDoesNotCrash) {
  // Whether it resolves depends on the machine; only exercise it.
  (void)LocalHostNameResolves();
}

TEST(Socket, OpenCloseMove) {
  int err = 1;
  Socket s = Socket::Open(Socket::Kind::kDatagram, &err);
  ASSERT_TRUE(s.Valid());
  EXPECT_EQ(err, 0);
  const int fd = s.fd();
  Socket t(std::move(s));
  EXPECT_FALSE(s.Valid());
  EXPECT_EQ(t.fd(), fd);
  Socket u;
  u = std::move(t);
  EXPECT_EQ(u.fd(), fd);
  u.Close();
  EXPECT_FALSE(u.Valid());
  u.Close();  // twice is harmless
}

TEST(Socket, OperationsOnClosedSocketFail) {
  Socket s;
  uint8_t buf[4];
  EXPECT_TRUE(IsSocketFailure(s.Recv(buf)));
  EXPECT_TRUE(IsSocketFailure(s.Send(Bytes("x"))));
  EXPECT_TRUE(IsSocketFailure(s.Bind(SockAddrV4::Any(0))));
  EXPECT_TRUE(IsSocketFailure(s.WaitReadable(0)));
}

TEST(Socket, ResetConnectionMapsToConnReset) {
  SockAddrV4 where;
  Socket listener = Listener(&where);
  Socket client = Socket::Open(Socket::Kind::kStream);
  ASSERT_TRUE(client.Valid());
  ASSERT_EQ(client.Connect(where, 5000), 0);

  SockAddrV4 peer;
  int err = 1;
  Socket accepted = listener.Accept(&peer, &err);
  ASSERT_TRUE(accepted.Valid()) << err;
  EXPECT_EQ(err, 0);
  SockAddrV4 client_local;
  ASSERT_EQ(client.LocalAddress(&client_local), 0);
  EXPECT_TRUE(peer == client_local);

  // Some data first, to show the connection worked.
  ASSERT_EQ(accepted.Send(Bytes("hi")), 2);
  uint8_t buf[16];
  ASSERT_EQ(client.WaitReadable(5000), 1);
  ASSERT_EQ(client.Recv(buf), 2);

  ASSERT_EQ(accepted.SetResetOnClose(), 0);
  accepted.Close();

  ASSERT_EQ(client.WaitReadable(5000), 1);
  EXPECT_EQ(client.Recv(buf), -kEConnReset);
  // Sending on the reset connection: reset as well, and no SIGPIPE.
  EXPECT_EQ(client.Send(Bytes("more")), -kEConnReset);
}

TEST(Socket, SendAfterPeerResetIsConnReset) {
  SockAddrV4 where;
  Socket listener = Listener(&where);
  Socket client = Socket::Open(Socket::Kind::kStream);
  ASSERT_EQ(client.Connect(where, 5000), 0);
  Socket accepted = listener.Accept(nullptr);
  ASSERT_TRUE(accepted.Valid());
  ASSERT_EQ(accepted.SetResetOnClose(), 0);
  accepted.Close();
  // Give the reset time to arrive, then send without receiving first.
  ASSERT_EQ(client.WaitReadable(5000), 1);
  int rc = 0;
  for (int i = 0; i < 3 && rc >= 0; ++i) rc = client.Send(Bytes("data"));
  EXPECT_EQ(rc, -kEConnReset);
}

TEST(Socket, OrderlyCloseGivesZero) {
  SockAddrV4 where;
  Socket listener = Listener(&where);
  Socket client = Socket::Open(Socket::Kind::kStream);
  ASSERT_EQ(client.SetNoDelay(true), 0);
  ASSERT_EQ(client.Connect(where, 5000), 0);
  Socket accepted = listener.Accept(nullptr);
  ASSERT_TRUE(accepted.Valid());
  ASSERT_EQ(accepted.ShutdownBoth(), 0);
  uint8_t buf[8];
  ASSERT_EQ(client.WaitReadable(5000), 1);
  EXPECT_EQ(client.Recv(buf), 0);
}

TEST(Socket, ConnectToClosedPortIsRefused) {
  // Find a free port, then close its listener.
  SockAddrV4 where;
  {
    Socket probe = Listener(&where);
  }
  Socket client = Socket::Open(Socket::Kind::kStream);
  ASSERT_TRUE(client.Valid());
  EXPECT_EQ(client.Connect(where, 5000), -kEConnRefused);
}

TEST(Socket, ConnectTimesOutWhenListenerQueueIsFull) {
  // A listener that never accepts, with the smallest backlog: once its
  // queue is full the kernel drops further connection requests, so a connect
  // stays pending until its time-out.
  int err = 0;
  Socket listener = Socket::Open(Socket::Kind::kStream, &err);
  ASSERT_TRUE(listener.Valid());
  ASSERT_EQ(listener.Bind(SockAddrV4::Loopback(0)), 0);
  ASSERT_EQ(listener.Listen(0), 0);
  SockAddrV4 where;
  ASSERT_EQ(listener.LocalAddress(&where), 0);
  std::vector<Socket> clients;
  int rc = 0;
  for (int i = 0; i < 16 && rc == 0; ++i) {
    clients.push_back(Socket::Open(Socket::Kind::kStream));
    const auto start = std::chrono::steady_clock::now();
    rc = clients.back().Connect(where, 150);
    if (rc != 0) {
      const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
      EXPECT_GE(took, 140);
      EXPECT_LT(took, 5000);
    }
  }
  if (rc == -kEConnRefused) GTEST_SKIP() << "kernel resets on a full queue";
  EXPECT_EQ(rc, -kETimedOut);
}

TEST(Socket, ConnectLeavesBlockingMode) {
  SockAddrV4 where;
  Socket listener = Listener(&where);
  Socket client = Socket::Open(Socket::Kind::kStream);
  ASSERT_EQ(client.Connect(where, 5000), 0);
  Socket accepted = listener.Accept(nullptr);
  ASSERT_TRUE(accepted.Valid());
  // A blocking Recv would wait; check the flag through a timed wait instead:
  // no data yet, so not readable.
  EXPECT_EQ(client.WaitReadable(50), 0);
  ASSERT_EQ(client.SetNonBlocking(true), 0);
  uint8_t buf[4];
  EXPECT_EQ(client.Recv(buf), -kEWouldBlock);
  ASSERT_EQ(client.SetNonBlocking(false), 0);
  ASSERT_EQ(accepted.Send(Bytes("abc")), 3);
  EXPECT_EQ(client.Recv(buf), 3);
}

TEST(Socket, WaitReadableTimesOut) {
  Socket s = Socket::Open(Socket::Kind::kDatagram);
  ASSERT_EQ(s.Bind(SockAddrV4::Loopback(0)), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(s.WaitReadable(80), 0);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
  EXPECT_GE(took, 75);
  EXPECT_LT(took, 5000);
  EXPECT_EQ(s.WaitWritable(1000), 1);
}

TEST(Socket, UdpRoundTripWithSenderEquality) {
  Socket a = Socket::Open(Socket::Kind::kDatagram);
  Socket b = Socket::Open(Socket::Kind::kDatagram);
  ASSERT_TRUE(a.Valid());
  ASSERT_TRUE(b.Valid());
  ASSERT_EQ(a.Bind(SockAddrV4::Loopback(0)), 0);
  ASSERT_EQ(b.Bind(SockAddrV4::Loopback(0)), 0);
  ASSERT_EQ(b.SetReceiveBufferSize(64 * 1024), 0);
  ASSERT_EQ(a.SetSendBufferSize(64 * 1024), 0);
  SockAddrV4 a_addr, b_addr;
  ASSERT_EQ(a.LocalAddress(&a_addr), 0);
  ASSERT_EQ(b.LocalAddress(&b_addr), 0);

  ASSERT_EQ(a.SendTo(Bytes("one"), b_addr), 3);
  ASSERT_EQ(a.SendTo(Bytes("two!"), b_addr), 4);

  uint8_t buf[64];
  SockAddrV4 from1, from2;
  ASSERT_EQ(b.WaitReadable(5000), 1);
  ASSERT_EQ(b.RecvFrom(buf, &from1), 3);
  EXPECT_EQ(std::memcmp(buf, "one", 3), 0);
  ASSERT_EQ(b.WaitReadable(5000), 1);
  ASSERT_EQ(b.RecvFrom(buf, &from2), 4);
  EXPECT_EQ(std::memcmp(buf, "two!", 4), 0);

  EXPECT_TRUE(from1 == from2);
  EXPECT_EQ(std::memcmp(&from1, &from2, sizeof(SockAddrV4)), 0);
  EXPECT_TRUE(from1 == a_addr);
  EXPECT_EQ(from1.family, 2);

  // And back.
  ASSERT_EQ(b.SendTo(Bytes("pong"), from1), 4);
  SockAddrV4 from3;
  ASSERT_EQ(a.WaitReadable(5000), 1);
  ASSERT_EQ(a.RecvFrom(buf, &from3), 4);
  EXPECT_TRUE(from3 == b_addr);
}

TEST(Socket, OversizedDatagramIsMsgSize) {
  Socket a = Socket::Open(Socket::Kind::kDatagram);
  Socket b = Socket::Open(Socket::Kind::kDatagram);
  ASSERT_EQ(b.Bind(SockAddrV4::Loopback(0)), 0);
  SockAddrV4 b_addr;
  ASSERT_EQ(b.LocalAddress(&b_addr), 0);
  ASSERT_EQ(a.SendTo(Bytes("0123456789"), b_addr), 10);
  uint8_t buf[4];
  SockAddrV4 from;
  ASSERT_EQ(b.WaitReadable(5000), 1);
  EXPECT_EQ(b.RecvFrom(buf, &from), -kEMsgSize);
  EXPECT_EQ(std::memcmp(buf, "0123", 4), 0);
}

TEST(Socket, BroadcastOption) {
  Socket s = Socket::Open(Socket::Kind::kDatagram);
  ASSERT_TRUE(s.Valid());
  bool on = true;
  ASSERT_EQ(s.GetBroadcast(&on), 0);
  EXPECT_FALSE(on);
  ASSERT_EQ(s.SetBroadcast(true), 0);
  ASSERT_EQ(s.GetBroadcast(&on), 0);
  EXPECT_TRUE(on);
  ASSERT_EQ(s.SetBroadcast(false), 0);
  ASSERT_EQ(s.GetBroadcast(&on), 0);
  EXPECT_FALSE(on);
  EXPECT_EQ(s.SetReuseAddress(true), 0);
  EXPECT_EQ(s.PendingError(), 0);
}

TEST(Socket, BindConflictIsAddrInUse) {
  SockAddrV4 where;
  Socket first = Listener(&where);
  Socket second = Socket::Open(Socket::Kind::kStream);
  EXPECT_EQ(second.Bind(where), -kEAddrInUse);
}

}  // namespace
