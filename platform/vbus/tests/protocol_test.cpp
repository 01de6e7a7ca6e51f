#include "vbus/protocol.h"

#include <gtest/gtest.h>

namespace vbus {
namespace {

Message RoundTrip(const Message& m) {
    Bytes frame = Encode(m);
    std::string why;
    auto back = Decode(frame.data() + 4, frame.size() - 4, why);
    EXPECT_TRUE(back.has_value()) << why;
    return back.value_or(Message{});
}

TEST(Protocol, EveryMessageSurvivesEncoding) {
    Submit s{7, Op::Ioctl, 0x8000200c, 1, {1, 2, 3}, {9}};
    auto back = std::get<Submit>(RoundTrip(s));
    EXPECT_EQ(back.id, 7u);
    EXPECT_EQ(back.op, Op::Ioctl);
    EXPECT_EQ(back.code, 0x8000200cu);
    EXPECT_EQ(back.input, (Bytes{1, 2, 3}));
    EXPECT_EQ(back.window, (Bytes{9}));

    Welcome w;
    w.error = 2;
    w.present = true;
    w.interfaceGuid[15] = 0xdd;
    w.devicePath = "\\\\?\\vboard#0";
    auto wb = std::get<Welcome>(RoundTrip(w));
    EXPECT_EQ(wb.devicePath, w.devicePath);
    EXPECT_EQ(wb.interfaceGuid, w.interfaceGuid);
    EXPECT_TRUE(wb.present);

    Done d{3, 995, 0, {}, {0x21}};
    auto db = std::get<Done>(RoundTrip(d));
    EXPECT_EQ(db.error, 995u);
    EXPECT_EQ(db.window, (Bytes{0x21}));

    auto r = std::get<Reply>(RoundTrip(Reply{true, "ok\nline"}));
    EXPECT_EQ(r.text, "ok\nline");
    EXPECT_EQ(std::get<Hello>(RoundTrip(Hello{1, Purpose::Open, "p"})).path, "p");
}

TEST(Protocol, MalformedBodiesAreRefusedWithAReason) {
    std::string why;
    const std::uint8_t unknown[] = {0x77, 0, 0};
    EXPECT_FALSE(Decode(unknown, sizeof unknown, why));
    EXPECT_NE(why.find("unknown frame type 0x77"), std::string::npos);

    Bytes frame = Encode(Submit{1, Op::Read, 0, 4, {}, {}});
    // Truncated payload.
    EXPECT_FALSE(Decode(frame.data() + 4, frame.size() - 5, why));
    EXPECT_FALSE(why.empty());
    // Trailing garbage.
    Bytes longer(frame.begin() + 4, frame.end());
    longer.push_back(0);
    EXPECT_FALSE(Decode(longer.data(), longer.size(), why));
    // A blob length that claims more than the frame holds.
    Bytes lying(frame.begin() + 4, frame.end());
    lying[1 + 4 + 1 + 4 + 4] = 0xff;  // input length low byte
    lying[1 + 4 + 1 + 4 + 4 + 3] = 0x7f;
    EXPECT_FALSE(Decode(lying.data(), lying.size(), why));
    // An unknown operation.
    Bytes badOp(frame.begin() + 4, frame.end());
    badOp[5] = 9;
    EXPECT_FALSE(Decode(badOp.data(), badOp.size(), why));
    EXPECT_NE(why.find("operation"), std::string::npos);
    EXPECT_FALSE(Decode(nullptr, 0, why));
}

}  // namespace
}  // namespace vbus
