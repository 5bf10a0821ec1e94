// DBQueries::setClientPassword: the Corehub's stored session password, decrypted, goes into
// client record 2 through the client-record service, which keeps it encrypted. The plain and
// encoded texts live only in buffers that are wiped on every path.
#include <cstring>
#include <memory>
#include <new>

#include "db/db_queries.h"
#include "db/exception_text.h"
#include "db/product_services.h"
#include "db/rk_client.h"
#include "db/secure_text.h"
#include "platform/crypto/rk_password.h"
#include "platform/registry/rk_pi_platform_base.h"
#include "platform/crypto/sim_decrypt.h"

using zarezodud::currentExceptionText;

namespace {

// The client record that holds the Corehub's session password.
const int kCorehubClientId = 2;

// The encoded and decrypted password buffers, wiped and released together whichever way the
// operation ends.
class PasswordBuffers {
 public:
  PasswordBuffers() = default;
  ~PasswordBuffers() {
    if (encoded != nullptr) zarezodud::clearBuffer(encoded, encodedSize);
    delete[] encoded;
    zarezodud::simFree(decrypted);
  }
  PasswordBuffers(const PasswordBuffers&) = delete;
  PasswordBuffers& operator=(const PasswordBuffers&) = delete;

  char* encoded = nullptr;
  std::size_t encodedSize = 0;
  char* decrypted = nullptr;
  int decryptedLength = 0;
};

}  // namespace

unsigned int DBQueries::setClientPassword(const char* focus, std::string& error) {
  try {
    zarezodud::RKPI_PlatformBase accessor(1);
    std::unique_ptr<zarezodud::RKClient> client =
        zarezodud::productServices().createClient(*this, kCorehubClientId);
    accessor.setFocus(focus);

    zarezodud::RKPassword* stored = accessor.getNetworkPassword();  // owned by the accessor
    if (stored == nullptr) {
      error = "Failed to get the session pwd from registry.";
      return 0;
    }
    const int size = stored->getEncPwdSize(-1);
    if (size <= 0) return 1;

    PasswordBuffers buffers;
    buffers.encodedSize = static_cast<std::size_t>(size) + 1;
    buffers.encoded = new (std::nothrow) char[buffers.encodedSize];
    if (buffers.encoded == nullptr) {
      error = "Failed to allocate memory to encodedPwd.";
      return 0;
    }
    std::memset(buffers.encoded, 0, buffers.encodedSize);
    int length = 0;
    stored->getEncPwd(buffers.encoded, &length, -1);
    if (buffers.encoded[0] == '\0') {
      error = "No session password found in the registry.";
      return 1;
    }
    if (zarezodud::simDecrypt(buffers.encoded, &buffers.decrypted, &buffers.decryptedLength, nullptr) != 0) {
      error = "Failed to decrypt the password.";
      return 0;
    }
    if (buffers.decrypted == nullptr) return 1;

    if (client == nullptr) {
      error = "client.lookup Failed: no client-record service is available.";
      return 0;
    }
    // The client service works through the table framework on the product connection.
    if (!useProductConnectionForTables()) {
      error = "client.lookup Failed: " + m_lastError;
      return 0;
    }
    if (client->lookup(nullptr) != 0) {
      error = "client.lookup Failed: " + client->getErrorStr();
      return 0;
    }
    client->setPassword(buffers.decrypted);
    if (client->update(nullptr) != 0) {
      error = "client.update Failed: " + client->getErrorStr();
      return 0;
    }
    return 1;
  } catch (...) {
    error = "Failed to set the client password: " + currentExceptionText();
    return 0;
  }
}
