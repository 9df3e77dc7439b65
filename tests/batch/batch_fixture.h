// A devapi session against a simulated terminal over loopback UDP, for
// batch update: the package the terminal stored, split into its streams,
// and the commands that crossed the wire.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devapi.h"
#include "fingerprints_fixture.h"
#include "session/device_session.h"
#include "termsim/simulator.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace batch_test {

using Bytes = std::vector<uint8_t>;
using fingerprints_test::MakeUser;
using fingerprints_test::Stored;
using fingerprints_test::Version9;

inline constexpr uint16_t kAnnounce = 2222;
inline constexpr uint16_t kReload = 1013;

// A black-and-white terminal with wide user numbers and version-9 templates.
inline termsim::Profile Wide() { return fingerprints_test::Ver9(); }

// A colour-screen terminal with version-9 templates.
inline termsim::Profile Colour(termsim::Profile::BatchOps ops = termsim::Profile::BatchOps::kPin) {
  termsim::Profile p = termsim::Profile::Tft();
  p.options.erase("~QXFPVersion");
  p.batch_ops = ops;
  return p;
}

// The streams of a package: user entries, template operations, template data.
struct Package {
  Bytes users, ops, data;
  bool whole = false;  // the head's counts matched the package
};

inline Package Split(const Bytes& package) {
  Package out;
  wire::ByteReader r(package);
  const uint32_t u = r.U32(), o = r.U32(), t = r.U32();
  if (!r.ok() || 12ull + u + o + t != package.size()) return out;
  const auto users = r.View(u), ops = r.View(o), data = r.View(t);
  out.users.assign(users.begin(), users.end());
  out.ops.assign(ops.begin(), ops.end());
  out.data.assign(data.begin(), data.end());
  out.whole = true;
  return out;
}

class BatchE2E : public fingerprints_test::FingerprintsE2E {
 protected:
  DEVAPI_HANDLE Connect(termsim::Profile profile, std::vector<termsim::User> users = {},
                        std::vector<termsim::FingerTemplate> templates = {}) {
    FingerprintsE2E::Connect(std::move(profile), std::move(templates), std::move(users));
    // User numbers map through the table only once the width is known.
    int32_t width = 0;
    if (handle != nullptr) {
      EXPECT_EQ(Q_GetPINWidth(handle, &width), 1);
    }
    return handle;
  }

  devapi::DeviceSession::BatchState& Batch() { return Session().batch; }
  Package StoredPackage() const { return Split(sim->LastStoredUpload()); }
  // The codes the terminal received, in order.
  std::vector<uint16_t> Codes() const {
    std::vector<uint16_t> out;
    for (const auto& p : sim->Received()) out.push_back(p.code);
    return out;
  }
};

}  // namespace batch_test
