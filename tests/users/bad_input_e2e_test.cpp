// A terminal's user table is untrusted: counts beyond what arrived, records
// cut short, tables that cannot be loaded, tables without a free PIN.
#include "users_fixture.h"
#include "wire/le_bytes.h"

namespace users_test {
namespace {

using Bytes = std::vector<uint8_t>;

// `records` extended records of PINs 1.., led by `count`.
Bytes CountedTable(uint32_t count, size_t records, size_t extra_bytes = 0) {
  Bytes table(4 + records * 28 + extra_bytes, 0);
  wire::ByteWriter w(table);
  w.U32(count);
  for (size_t i = 0; i < records; ++i) {
    Bytes record(28, 0);
    wire::ByteWriter r(record);
    r.U16(static_cast<uint16_t>(i + 1));
    w.Bytes(record);
  }
  return table;
}

class CraftedTable : public UsersE2E {
 protected:
  // A terminal that keeps users, so that it offers a table at all.
  DEVAPI_HANDLE Connect(termsim::Profile profile) {
    return UsersE2E::Connect(std::move(profile), {MakeUser(60000, 6)});
  }

  // The terminal streams `table` as its user table (it prepares no
  // buffered reads), whatever users it keeps.
  void Serve(const Bytes& table) {
    termsim::BulkOptions options;
    options.buffered_reads = false;
    sim->SetBulkOptions(options);
    sim->SetDataSet(wire::CMD_USERTEMP_RRQ, {5}, table);
  }
  // PINs the iteration yields.
  std::vector<int32_t> Pins() {
    std::vector<int32_t> pins;
    int32_t pin = 0;
    while (Q_GetUserInfo(handle, &pin, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) == 1) {
      pins.push_back(pin);
    }
    return pins;
  }
};

TEST_F(CraftedTable, ACountBeyondWhatArrivedIsCutToTheRecordsThatDid) {
  ASSERT_NE(Connect(termsim::Profile::Ver660()), nullptr);
  for (const uint32_t count : {10u * 28, 0xFFFFFFFFu}) {
    SCOPED_TRACE(count);
    Serve(CountedTable(count, 3));
    ASSERT_EQ(Q_ReadUserInfo(handle), 1);
    EXPECT_EQ(Session().user_len, 3u * 28);
    EXPECT_EQ(Pins(), (std::vector<int32_t>{1, 2, 3}));
  }
}

TEST_F(CraftedTable, ARecordCutShortIsLeftOut) {
  ASSERT_NE(Connect(termsim::Profile::Ver660()), nullptr);
  Serve(CountedTable(2 * 28 + 14, 2, 14));
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  EXPECT_EQ(Session().user_len, 2u * 28);
  EXPECT_EQ(Pins(), (std::vector<int32_t>{1, 2}));
  // Searches stop at the last whole record as well.
  EXPECT_EQ(Q_QueryUserByPIN2(handle, 0), 1);
  int32_t pin2 = 0;
  EXPECT_EQ(Q_QueryUserInfo(handle, 3, nullptr, nullptr, nullptr, nullptr, nullptr, &pin2, nullptr,
                            nullptr),
            0);
}

TEST_F(CraftedTable, FewerThanFourBytesAreAnEmptyTable) {
  ASSERT_NE(Connect(termsim::Profile::Ver660()), nullptr);
  Serve({0x1C, 0x00});
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  EXPECT_EQ(Session().user_len, 0u);
  EXPECT_TRUE(Pins().empty());
}

TEST_F(CraftedTable, TftRecordsAreWalkedInStepsOf72) {
  ASSERT_NE(Connect(termsim::Profile::Tft()), nullptr);
  Bytes table(4 + 2 * 72 + 30, 0);
  wire::ByteWriter w(table);
  w.U32(static_cast<uint32_t>(table.size() - 4));
  for (uint16_t pin : {7, 9}) {
    Bytes record(72, 0);
    wire::ByteWriter r(record);
    r.U16(pin);
    const std::string id = "ID" + std::to_string(pin) + std::string(20, 'x');  // 24 characters
    std::copy(id.begin(), id.end(), record.begin() + 48);
    w.Bytes(record);
  }
  Serve(table);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  EXPECT_EQ(Session().user_len, 2u * 72);
  EXPECT_EQ(Pins(), (std::vector<int32_t>{7, 9}));
  int32_t pin = 0;
  ASSERT_EQ(SSR_Q_QueryUserInfo(handle, ("ID9" + std::string(20, 'x')).c_str(), nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr, &pin),
            1);
  EXPECT_EQ(pin, 9);
}

TEST_F(UsersE2E, NoNumberIsHandedOutFromATableThatDidNotLoad) {
  for (const auto& profile : {termsim::Profile::Ver660(), termsim::Profile::Tft()}) {
    SCOPED_TRACE(profile.firmware);
    if (handle != nullptr) Q_Close(handle);
    ASSERT_NE(Connect(profile, {MakeUser(1, 1, "Ann", "1")}), nullptr);
    termsim::BulkOptions options;
    options.buffered_reads = false;  // the table cannot be downloaded
    sim->SetBulkOptions(options);
    EXPECT_EQ(Q_ReadUserInfo(handle), -2);
    EXPECT_EQ(Q_SetUserInfo(handle, 0, "New", 0, 1, nullptr, nullptr, 555, 0, nullptr), -2);
    EXPECT_EQ(SSR_Q_SetUserInfo(handle, "NEW", "New", 0, 1, nullptr, nullptr, 1, nullptr), -2);
    EXPECT_EQ(Sent(wire::CMD_USER_WRQ), 0u);
    EXPECT_EQ(sim->FindUser(1)->name, "Ann");
  }
}

TEST_F(UsersE2E, TheTableRequestCarriesTheDataKindFromVer504On) {
  ASSERT_NE(Connect(termsim::Profile::Old(), {MakeUser(1, 0)}), nullptr);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  EXPECT_EQ(LastPayload(wire::CMD_QUERY_DATA), (Bytes{1, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  Q_Close(handle);
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(1, 1)}), nullptr);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  EXPECT_EQ(LastPayload(wire::CMD_QUERY_DATA), (Bytes{1, 9, 0, 5, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(UsersE2E, AFullTableHasNoPinForANewUser) {
  for (const auto& profile : {termsim::Profile::Ver660(), termsim::Profile::Tft()}) {
    SCOPED_TRACE(profile.firmware);
    if (handle != nullptr) Q_Close(handle);
    ASSERT_NE(Connect(profile, termsim::GenerateUsers(65534, 3)), nullptr);
    // Large compressed blocks keep the download of the whole table short.
    termsim::BulkOptions options;
    options.compress = true;
    sim->SetBulkOptions(options);
    Session().block_size = 65472;
    ASSERT_EQ(Q_ReadUserInfo(handle), 1);
    const bool tft = profile.options.at("~Platform").find("TFT") != std::string::npos;
    if (tft) {
      EXPECT_EQ(SSR_Q_SetUserInfo(handle, "NEW", "New", 0, 1, nullptr, nullptr, 1, nullptr), -2);
    } else {
      EXPECT_EQ(Q_SetUserInfo(handle, 0, "New", 0, 1, nullptr, nullptr, 70000, 0, nullptr), -10);
    }
    EXPECT_EQ(Sent(wire::CMD_USER_WRQ), 0u);
  }
}

}  // namespace
}  // namespace users_test
