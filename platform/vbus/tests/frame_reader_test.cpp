// The incremental frame reader: frames split anywhere, lengths refused at the prefix, and memory
// that follows what has arrived rather than what a prefix announces.
#include "vbus/frame_reader.h"

#include <gtest/gtest.h>

namespace vbus {
namespace {

struct Collected {
    std::vector<Message> messages;
    FrameReader::Handler Handler() {
        return [this](Message& m, std::string&) {
            messages.push_back(std::move(m));
            return true;
        };
    }
};

TEST(FrameReader, FramesSplitAtEveryByteComeOutWhole) {
    Bytes stream = Encode(Submit{7, Op::Write, 0, 0, Bytes(300, 0xab), {}});
    const Bytes second = Encode(Cancel{7});
    stream.insert(stream.end(), second.begin(), second.end());
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{5}, stream.size()}) {
        FrameReader reader;
        Collected got;
        std::string why;
        for (std::size_t at = 0; at < stream.size(); at += piece)
            ASSERT_TRUE(
                reader.Feed(stream.data() + at, std::min(piece, stream.size() - at), got.Handler(), why))
                << why;
        ASSERT_EQ(got.messages.size(), 2u) << "pieces of " << piece;
        EXPECT_EQ(std::get<Submit>(got.messages[0]).input, Bytes(300, 0xab));
        EXPECT_EQ(std::get<Cancel>(got.messages[1]).id, 7u);
        EXPECT_FALSE(reader.InsideFrame());
    }
}

TEST(FrameReader, RefusesAbsurdLengthsAtThePrefixAndHoldsOnlyWhatArrived) {
    FrameReader reader;
    Collected got;
    std::string why;
    const std::uint8_t tooLong[4] = {0xff, 0xff, 0xff, 0x7f};
    EXPECT_FALSE(reader.Feed(tooLong, 4, got.Handler(), why));
    EXPECT_NE(why.find("out of range"), std::string::npos);
    const std::uint8_t more[1] = {0};
    EXPECT_FALSE(reader.Feed(more, 1, got.Handler(), why)) << "a broken stream stays broken";

    // The longest frame the protocol has is accepted; what it holds grows with what was sent.
    FrameReader big;
    const std::uint32_t n = kMaxFrame;
    const std::uint8_t prefix[5] = {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16),
                                    std::uint8_t(n >> 24), 0x02};
    ASSERT_TRUE(big.Feed(prefix, 5, got.Handler(), why)) << why;
    EXPECT_EQ(big.Held(), 5u);
    const std::uint8_t zero[1] = {0};
    const std::uint8_t over[4] = {std::uint8_t(n + 1), std::uint8_t((n + 1) >> 8),
                                  std::uint8_t((n + 1) >> 16), 0};
    FrameReader refused;
    EXPECT_FALSE(refused.Feed(over, 4, got.Handler(), why));
    EXPECT_TRUE(big.Feed(zero, 1, got.Handler(), why));
    EXPECT_EQ(big.Held(), 6u);
    EXPECT_TRUE(got.messages.empty());
}

TEST(FrameReader, AMalformedBodyOrAHandlerThatStopsEndsTheStream) {
    FrameReader reader;
    std::string why;
    const std::uint8_t unknownType[5] = {1, 0, 0, 0, 0x7e};
    EXPECT_FALSE(reader.Feed(
        unknownType, 5, [](Message&, std::string&) { return true; }, why));
    EXPECT_FALSE(why.empty());

    FrameReader stopping;
    Bytes two = Encode(Cancel{1});
    const Bytes again = Encode(Cancel{2});
    two.insert(two.end(), again.begin(), again.end());
    int seen = 0;
    EXPECT_FALSE(stopping.Feed(
        two.data(), two.size(),
        [&](Message&, std::string& reason) {
            ++seen;
            reason = "no more";
            return false;
        },
        why));
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(why, "no more");
}

}  // namespace
}  // namespace vbus
