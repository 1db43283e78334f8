// socket:// over Winsock under the link policy, against ser2net serving a
// pseudo-terminal pair's near end as raw TCP on a loopback port (set up by
// with_com_ports.sh): a name looked up on its thread and its addresses
// tried in turn, every byte value both ways (0xFF and 0x00 among them), and
// the failure sentence of a port nobody serves. Skipped without ser2net.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <span>
#include <string>
#include <vector>

#include "link/link_policy.h"
#include "link/net_port_win32.h"
#include "link/polled_link.h"
#include "link/target.h"
#include "tests/win32/com_pair.h"

namespace {

struct Received {
    std::vector<uint8_t> bytes;
    std::vector<LinkState> changes;
};

PolledLink socket_link(const std::string& url, Received& got) {
    LinkEvents events;
    events.received = [&got](std::span<const uint8_t> bytes) {
        got.bytes.insert(got.bytes.end(), bytes.begin(), bytes.end());
    };
    events.state_changed = [&got](LinkState state) { got.changes.push_back(state); };
    const Target target = *parse_target(url);
    return PolledLink(
        url, [target] { return open_socket_port(target, nullptr); }, std::move(events));
}

TEST(SocketPort, BytesBothWaysThroughSer2net) {
    const auto tcp_port = environment("ZEZ_TEST_SOCKET_PORT");
    const auto far_end = environment("ZEZ_TEST_SOCKET_PEER");
    if (!tcp_port || !far_end) GTEST_SKIP() << "no ser2net port (run through with_com_ports.sh)";
    Peer peer(*far_end);
    ASSERT_TRUE(peer.ok());
    Received got;
    // A name: looked up on the lookup thread; "localhost" may come as ::1
    // first, which ser2net does not serve, and then 127.0.0.1.
    PolledLink link = socket_link("socket://localhost:" + *tcp_port, got);
    ASSERT_EQ(link.open(), LinkResult::ok);
    EXPECT_EQ(link.state(), LinkState::lost) << "reached without waiting";
    ASSERT_TRUE(serve_until(link, 5000, [&] { return link.state() == LinkState::linked; }))
        << link_result_text(link.failure());
    serve_for(link, static_cast<DWORD>(link_policy::settle.count()) + 100);

    std::vector<uint8_t> all(256);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(255 - i);
    ASSERT_TRUE(peer.write(all));
    EXPECT_TRUE(serve_until(link, 3000, [&] { return got.bytes.size() >= all.size(); }));
    EXPECT_EQ(got.bytes, all);

    ASSERT_TRUE(link.send(std::array<uint8_t, 4>{0xFF, 0x00, 'A', 0xFF}));
    serve_for(link, 200);
    EXPECT_EQ(peer.read(1000, 4), (std::vector<uint8_t>{0xFF, 0x00, 'A', 0xFF}));
    link.close();
}

TEST(SocketPort, APortNobodyServesIsRefusedAndTriedAgain) {
    Received got;
    // Port 1 of the loopback: nothing listens there.
    PolledLink link = socket_link("socket://127.0.0.1:1", got);
    ASSERT_EQ(link.open(), LinkResult::ok);
    ASSERT_TRUE(serve_until(link, 5000, [&] { return link.failure() != LinkResult::ok; }));
    EXPECT_EQ(link.failure(), LinkResult::refused);
    EXPECT_STREQ(link_result_text(link.failure()), "connection refused");
    EXPECT_EQ(link.state(), LinkState::lost);
    ASSERT_TRUE(link.watch().wake) << "the next try is due";
    link.close();
}

}  // namespace
