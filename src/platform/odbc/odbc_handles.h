// RAII ownership of ODBC handles (environment, connection, statement). Handles are kept as
// opaque pointers so that this header needs no ODBC header.
//
// Thread-safety: an object is used by one thread at a time.
#ifndef ZAREZODUD_PLATFORM_ODBC_ODBC_HANDLES_H
#define ZAREZODUD_PLATFORM_ODBC_ODBC_HANDLES_H

namespace zarezodud {

class OdbcHandle {
 public:
  enum class Kind { kEnvironment, kConnection, kStatement };

  OdbcHandle() = default;
  ~OdbcHandle() { reset(); }
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;
  OdbcHandle(OdbcHandle&& other) noexcept;
  OdbcHandle& operator=(OdbcHandle&& other) noexcept;

  // Allocates a handle of kind under parent (null for an environment, which is also set to
  // ODBC 3 behaviour). Returns false when the driver manager refuses; the object stays empty.
  bool allocate(Kind kind, const OdbcHandle* parent);

  // Frees the handle (a connection is disconnected first when marked connected).
  void reset();

  void* get() const { return m_handle; }
  Kind kind() const { return m_kind; }
  // The ODBC handle-type code of kind (SQL_HANDLE_ENV, ...).
  short odbcType() const;
  explicit operator bool() const { return m_handle != nullptr; }

  // For connections: whether reset() must disconnect first.
  void setConnected(bool connected) { m_connected = connected; }
  bool connected() const { return m_connected; }

 private:
  void* m_handle = nullptr;
  Kind m_kind = Kind::kEnvironment;
  bool m_connected = false;
};

}  // namespace zarezodud

#endif
