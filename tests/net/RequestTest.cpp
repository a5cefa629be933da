#include "Messages.h"
#include "CompletionRecorder.h"
#include "FakeDevice.h"
#include "NetworkSandbox.h"

#include "Exception.h"
#include "KvVRELRequest.h"
#include "ValueCodec.h"
#include "VrelTables.h"

#include "../protocol/HexBytes.h"

#include <gtest/gtest.h>

#include <QObject>

#include <memory>
#include <string>
#include <vector>

namespace vrel::test {
namespace {

// Readable, write-only and read-write variables: a Get names the first and the last.
const VariableDef kMixedDefs[] = {
    {7, "Firmware", kDisplayStr, kReadOnly, nullptr, nullptr, nullptr},
    {8, "Reboot", kInt8, kWriteOnly, nullptr, nullptr, nullptr},
    {9, "Location", kDisplayStr, kReadWrite, nullptr, nullptr, nullptr},
    {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
};

// The window that owns the shared client in the application; deleting it takes the client.
class RequestTest : public ::testing::Test {
protected:
    void Open() {
        device = std::make_unique<FakeDevice>();
        ASSERT_TRUE(device->IsBound());
        owner = std::make_unique<QObject>();
        KvVRELRequest::SetUp(owner.get());
        ASSERT_NE(KvVRELRequest::SharedClient(), nullptr);
        KvVRELRequest::DefaultTargetMac() = "FFFFFFFFFFFF";
        KvVRELRequest::DefaultPassword() = "";
    }

    void TearDown() override {
        if (KvVRELClient* client = KvVRELRequest::SharedClient()) {
            EXPECT_EQ(client->PendingCount(), 0) << "a request outlived its test";
        }
        owner.reset();
        device.reset();
        KvVRELRequest::DefaultTargetMac().clear();
        KvVRELRequest::DefaultPassword().clear();
    }

    std::unique_ptr<FakeDevice> device;
    std::unique_ptr<QObject> owner;
};

TEST_F(RequestTest, SetUpEmptiesTheDefaultsAndNewObjectsTakeThem) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    KvVRELRequest::DefaultTargetMac() = "stale";
    KvVRELRequest::DefaultPassword() = "stale";
    owner = std::make_unique<QObject>();
    KvVRELRequest::SetUp(owner.get());
    EXPECT_EQ(KvVRELRequest::DefaultTargetMac(), "");
    EXPECT_EQ(KvVRELRequest::DefaultPassword(), "");
    ASSERT_NE(KvVRELRequest::SharedClient(), nullptr);
    EXPECT_EQ(KvVRELRequest::SharedClient()->parent(), owner.get());

    KvVRELRequest::DefaultTargetMac() = "FFFFFFFFFFFF";
    const KvVRELRequest request;
    EXPECT_EQ(request.timeout, 100u);
    EXPECT_EQ(request.targetMac, "FFFFFFFFFFFF");
    EXPECT_EQ(request.password, "");
    EXPECT_EQ(request.variables.count(), 0);
    EXPECT_EQ(request.responseCondition, "");
}

TEST_F(RequestTest, LaterDefaultsReachNewObjectsAndObjectsThatReload) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    KvVRELRequest early;
    KvVRELRequest::DefaultTargetMac() = "001A2B3C4D5E";
    KvVRELRequest::DefaultPassword() = "admin";
    EXPECT_EQ(early.targetMac, "FFFFFFFFFFFF");
    EXPECT_EQ(early.password, "");
    const KvVRELRequest late;
    EXPECT_EQ(late.targetMac, "001A2B3C4D5E");
    EXPECT_EQ(late.password, "admin");
    early.ReloadDefaults();
    EXPECT_EQ(early.targetMac, "001A2B3C4D5E");
    EXPECT_EQ(early.password, "admin");
}

TEST_F(RequestTest, DiscoverAsyncSendsADiscoverThroughTheSharedClient) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    const Mac mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    device->onRequest = [&](const HeardRequest& r) {
        device->Reply(
            r, AnswerTo(r, mac, 0,
                        DiscoveryPayload("7", "VR-100", "001A2B3C4D5E", "10.1.2.3", "255.255.0.0"))
                   .Bytes());
    };
    KvVRELRequest request;
    request.variables.assign(*KvVRELVarList::create_from_definitions(DiscoveryVariables()));
    request.timeout = 15;
    CompletionRecorder rec(KvVRELRequest::SharedClient());
    const int first = request.DiscoverAsync(rec.Callback());
    const int second = request.DiscoverAsync(rec.Callback());
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(KvVRELRequest::SharedClient()->PendingCount(), 2);

    ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= 4; }, 1000));
    ASSERT_EQ(device->Requests().size(), 2u);
    const HeardRequest& heard = device->Requests()[0];
    ASSERT_EQ(heard.bytes.size(), 36u);
    EXPECT_EQ(heard.bytes[5], static_cast<char>(first));
    EXPECT_EQ(HexOf(heard.bytes.substr(0, 5) + heard.bytes.substr(6, 6)),
              "09 2B 13 38 01 00 24 00 00 10 00");
    EXPECT_EQ(HexOf(heard.bytes.substr(28)), "FF FF FF FF FF FF 01 00");
    EXPECT_EQ(rec.Codes(), (std::vector<int>{0, 0, -1014, -1014}));
    EXPECT_EQ(rec.calls[0].record.sequence, first);
    EXPECT_EQ(rec.calls[0].vars.at(0).responseVars->at(3).value, "10.1.2.3");
}

TEST_F(RequestTest, GetAsyncNamesTheReadableVariablesWithTheObjectsSettings) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    KvVRELRequest request;
    request.variables.assign(*KvVRELVarList::create_from_definitions(kMixedDefs));
    request.targetMac = "001A2B3C4D5E";
    request.password = "pw";
    request.timeout = 10;
    CompletionRecorder rec;
    const int seq = request.GetAsync(rec.Callback());
    ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= 1; }, 500));
    ASSERT_EQ(device->Requests().size(), 1u);
    const std::string& bytes = device->Requests()[0].bytes;
    ASSERT_EQ(bytes.size(), 42u);
    EXPECT_EQ(bytes[5], static_cast<char>(seq));
    EXPECT_EQ(HexOf(bytes.substr(0, 5) + bytes.substr(6, 6)), "09 2B 13 38 05 00 2A 00 00 10 00");
    EXPECT_EQ(HexOf(bytes.substr(28)), "00 1A 2B 3C 4D 5E 01 00 07 00 03 09 00 03");
    // Unanswered, it times out after the object's own time-out, not the default 100.
    EXPECT_EQ(rec.Codes(), std::vector<int>{-1014});
    EXPECT_EQ(rec.calls[0].record.password, "pw");
}

// DiscoverAsync and GetAsync both throw the failure with code and catalogue text.
void ExpectBothSendsFail(KvVRELRequest& request, int code) {
    for (const bool discover : {true, false}) {
        SCOPED_TRACE(discover ? "DiscoverAsync" : "GetAsync");
        try {
            discover ? request.DiscoverAsync({}) : request.GetAsync({});
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.HelpContext(), code);
            EXPECT_EQ(e.Message(), MessageForCode(code));
        }
    }
}

TEST_F(RequestTest, SendFailuresReachTheCaller) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    KvVRELRequest request;
    request.targetMac = "0011223344";
    ExpectBothSendsFail(request, -1010);
    EXPECT_EQ(KvVRELRequest::SharedClient()->PendingCount(), 0);
    Pump(30);
    EXPECT_TRUE(device->Requests().empty());
}

TEST_F(RequestTest, WithoutASharedClientSendsFailWithSocketError) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    KvVRELRequest request;
    owner.reset(); // the window is gone, and the client with it
    ASSERT_EQ(KvVRELRequest::SharedClient(), nullptr);
    ExpectBothSendsFail(request, -1009);
    Pump(30);
    EXPECT_TRUE(device->Requests().empty());
}

// Counts what CheckResponse hands on to the condition machinery.
class CountingRequest : public KvVRELRequest {
public:
    std::string Substitute(const std::string& e, bool, const std::string&) override {
        ++substitutions;
        return e;
    }
    bool CheckCondition(const std::string& e) override {
        checked.push_back(e);
        return false;
    }
    int substitutions = 0;
    std::vector<std::string> checked;
};

TEST_F(RequestTest, EmptyConditionPassesWithoutEvaluatingAnything) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    CountingRequest request;
    EXPECT_TRUE(request.CheckResponse());
    EXPECT_EQ(request.substitutions, 0);
    EXPECT_TRUE(request.checked.empty());

    request.responseCondition = "[Firmware] = '1.0'";
    EXPECT_FALSE(request.CheckResponse());
    EXPECT_EQ(request.checked, std::vector<std::string>{"[Firmware] = '1.0'"});
}

} // namespace
} // namespace vrel::test
