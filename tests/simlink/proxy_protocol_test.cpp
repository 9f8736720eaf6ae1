// Proxy protocol records: wire offsets and the length checks of the parsers.
#include "simlink/proxy_protocol.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> Header(uint32_t type, size_t length)
{
    std::vector<uint8_t> d(length, 0);
    uint32_t magic = ProxyMagic;
    if (length >= 4)
        std::memcpy(d.data(), &magic, 4);
    if (length >= 8)
        std::memcpy(d.data() + 4, &type, 4);
    return d;
}

void PutU32(std::vector<uint8_t>& d, size_t at, uint32_t v) { std::memcpy(d.data() + at, &v, 4); }
void PutF64(std::vector<uint8_t>& d, size_t at, double v) { std::memcpy(d.data() + at, &v, 8); }

TEST(ProxyProtocol, RequestCarriesPositionWithLongitudeFirst)
{
    ProxyRequest r{};
    r.type = MsgSetPosition;
    r.slotIndex = 3;
    r.clientId = 12345;
    r.longitude = 8.5;
    r.latitude = 47.25;
    uint8_t raw[32];
    std::memcpy(raw, &r, 32);
    double lon, lat;
    std::memcpy(&lon, raw + 16, 8);
    std::memcpy(&lat, raw + 24, 8);
    EXPECT_EQ(lon, 8.5);
    EXPECT_EQ(lat, 47.25);
    ProxyRequest back;
    EXPECT_TRUE(ParseProxyRequest(raw, 32, &back));
    EXPECT_EQ(back.clientId, 12345);
    EXPECT_FALSE(ParseProxyRequest(raw, 31, &back));  // the latitude cut
}

TEST(ProxyProtocol, ARequestNeedsOnlyTheFieldsItsTypeReads)
{
    ProxyRequest r{};
    r.unused = 0xDEADBEEF;  // never read
    r.type = MsgRegister;
    r.slotIndex = 7;
    r.clientId = 321;
    r.longitude = 99.0;
    uint8_t raw[ProxyRequestMaxRead] = {};
    std::memcpy(raw, &r, sizeof r);
    ProxyRequest back;
    ASSERT_TRUE(ParseProxyRequest(raw, 16, &back));
    EXPECT_EQ(back.type, MsgRegister);
    EXPECT_EQ(back.clientId, 321);
    EXPECT_EQ(back.longitude, 0.0);  // not arrived: 0, not what lay there before
    EXPECT_FALSE(ParseProxyRequest(raw, 15, &back));
    EXPECT_TRUE(ParseProxyRequest(raw, sizeof raw, &back));  // up to the proxy's 50 bytes
    r.type = MsgTrafficOn;
    std::memcpy(raw, &r, sizeof r);
    ASSERT_TRUE(ParseProxyRequest(raw, 12, &back));
    EXPECT_EQ(back.slotIndex, 7);
    EXPECT_FALSE(ParseProxyRequest(raw, 11, &back));
    r.type = MsgStopProxy;
    std::memcpy(raw, &r, sizeof r);
    EXPECT_TRUE(ParseProxyRequest(raw, 8, &back));
    EXPECT_FALSE(ParseProxyRequest(raw, 7, &back));
    EXPECT_FALSE(ParseProxyRequest(nullptr, 32, &back));
}

TEST(ProxyProtocol, AircraftStateNeedsExactLengthAndLengthField)
{
    auto d = Header(MsgAircraftState, 208);
    PutU32(d, 16, 208);
    PutF64(d, 40, 47.5);
    ProxyAircraftState s;
    ASSERT_TRUE(ParseProxyAircraftState(d.data(), d.size(), &s));
    EXPECT_EQ(s.latitude, 47.5);
    EXPECT_FALSE(ParseProxyAircraftState(d.data(), 207, &s));
    d.push_back(0);
    EXPECT_FALSE(ParseProxyAircraftState(d.data(), d.size(), &s));
    d.pop_back();
    PutU32(d, 16, 200);
    EXPECT_FALSE(ParseProxyAircraftState(d.data(), d.size(), &s));
}

TEST(ProxyProtocol, ShortReplyIsExactly24BytesWithMagic)
{
    auto d = Header(MsgRegistered, 24);
    PutU32(d, 8, 7);
    ProxyShortReply r;
    ASSERT_TRUE(ParseProxyShortReply(d.data(), 24, &r));
    EXPECT_EQ(r.slotIndex, 7);
    EXPECT_FALSE(ParseProxyShortReply(d.data(), 12, &r));
    d[0] = 0;
    EXPECT_FALSE(ParseProxyShortReply(d.data(), 24, &r));
}

TEST(ProxyProtocol, FlightPlanLengthMustMatchCount)
{
    auto d = Header(MsgFlightPlan, ProxyFlightPlanLength(2));
    d[8] = 1;
    PutU32(d, 12, 2);
    ProxyFlightPlanHeader h;
    const uint8_t* w = nullptr;
    ASSERT_TRUE(ParseProxyFlightPlan(d.data(), d.size(), &h, &w));
    EXPECT_EQ(h.count, 2);
    EXPECT_EQ(w, d.data() + 32);
    EXPECT_FALSE(ParseProxyFlightPlan(d.data(), d.size() - 1, &h, &w));
    PutU32(d, 12, 3);
    EXPECT_FALSE(ParseProxyFlightPlan(d.data(), d.size(), &h, &w));
    PutU32(d, 12, 0xFFFFFFFFu);  // negative count
    EXPECT_FALSE(ParseProxyFlightPlan(d.data(), d.size(), &h, &w));
    auto big = Header(MsgFlightPlan, ProxyFlightPlanLength(301));
    PutU32(big, 12, 301);
    EXPECT_FALSE(ParseProxyFlightPlan(big.data(), big.size(), &h, &w));
}

TEST(ProxyProtocol, TrafficCountIsBoundedByLengthAndMaximum)
{
    auto d = Header(MsgTraffic, ProxyTrafficLength(1));
    PutU32(d, 8, 1);
    PutU32(d, 16, 77);
    std::memset(d.data() + 20, 'A', 9);  // no terminator
    uint32_t n = 0;
    const uint8_t* recs = nullptr;
    ASSERT_TRUE(ParseProxyTraffic(d.data(), d.size(), &n, &recs));
    ASSERT_EQ(n, 1u);
    ProxyTrafficRecord r;
    ReadProxyTrafficRecord(recs, 0, &r);
    EXPECT_EQ(r.objectId, 77u);
    EXPECT_STREQ(r.atcId, "AAAAAAAA");
    PutU32(d, 8, 2);
    EXPECT_FALSE(ParseProxyTraffic(d.data(), d.size(), &n, &recs));
    PutU32(d, 8, 0x40000000u);  // would overflow a 32-bit length computation
    EXPECT_FALSE(ParseProxyTraffic(d.data(), d.size(), &n, &recs));
    auto over = Header(MsgTraffic, ProxyTrafficLength(200));
    PutU32(over, 8, 200);
    EXPECT_FALSE(ParseProxyTraffic(over.data(), over.size(), &n, &recs));
}

TEST(ProxyProtocol, RemovedIdsLengthMustMatchCount)
{
    auto d = Header(MsgTrafficRemoved, ProxyTrafficRemovedLength(2));
    PutU32(d, 8, 2);
    PutU32(d, 12, 5);
    PutU32(d, 16, 6);
    uint32_t n = 0;
    const uint8_t* ids = nullptr;
    ASSERT_TRUE(ParseProxyTrafficRemoved(d.data(), d.size(), &n, &ids));
    EXPECT_EQ(ReadProxyRemovedId(ids, 1), 6u);
    EXPECT_FALSE(ParseProxyTrafficRemoved(d.data(), d.size() - 1, &n, &ids));
    EXPECT_FALSE(ParseProxyTrafficRemoved(d.data(), 12, &n, &ids));
    auto over = Header(MsgTrafficRemoved, ProxyTrafficRemovedLength(201));
    PutU32(over, 8, 201);
    EXPECT_FALSE(ParseProxyTrafficRemoved(over.data(), over.size(), &n, &ids));
}

TEST(ProxyProtocol, HeaderNeedsEightBytes)
{
    uint8_t d[8] = {0xE4, 0x07, 0, 0, 26, 0, 0, 0};
    uint32_t magic = 0, type = 0;
    EXPECT_FALSE(ReadProxyHeader(d, 7, &magic, &type));
    ASSERT_TRUE(ReadProxyHeader(d, 8, &magic, &type));
    EXPECT_EQ(magic, ProxyMagic);
    EXPECT_EQ(type, uint32_t{MsgKeepAlive});
}

}  // namespace
