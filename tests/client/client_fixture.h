#pragma once
#include <cstdint>
#include <memory>

#include "client/client_image.h"
#include "support/client_image_writer.h"
#include "support/registration_writer.h"

namespace zira::testing {

// A client image of one edition under construction, and the loaded result.
struct ClientFixture {
  explicit ClientFixture(std::uint32_t editionId, CodeStyle style = CodeStyle::kPlain)
      : writer(editionId), registrations(writer, style), client(std::make_unique<ClientImage>()) {}

  Result Load() { return LoadClientImageFromBytes(*client, writer.Bytes()); }

  ClientImageWriter writer;
  RegistrationWriter registrations;
  std::unique_ptr<ClientImage> client;  // too large for the stack
};

}  // namespace zira::testing
