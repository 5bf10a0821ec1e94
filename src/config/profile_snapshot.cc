#include "config/profile_snapshot.h"

#include <cctype>

#include "config/profile_file.h"
#include "config/profile_line_reader.h"
#include "config/profile_store.h"

namespace zarezodud {

namespace {

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

int ProfileSnapshot::load(const std::string& path) {
  m_path = path;
  m_nulLine = 0;
  m_headers.clear();
  m_sections.clear();
  ProfileFile in(path.c_str(), "r");
  if (!in.isOpen()) return PROFILE_CANNOT_OPEN;
  ProfileLineReader reader(in.get());
  Entries* current = nullptr;  // lines before the first header belong to no section
  for (;;) {
    const int rc = reader.next();
    if (rc == PROFILE_END_OF_FILE) return PROFILE_SUCCESS;
    if (rc != PROFILE_SUCCESS) {
      if (reader.heldNul()) m_nulLine = reader.lineNumber();
      m_headers.clear();
      m_sections.clear();
      return rc;
    }
    if (reader.startsSection()) {
      m_sections.emplace_back();
      current = &m_sections.back();
      if (reader.fits()) m_headers.emplace(lowerCase(reader.line()), m_sections.size() - 1);
      continue;
    }
    if (current == nullptr) continue;
    Entry entry;
    entry.fits = reader.fits();
    entry.value = std::string(entryValue(reader.line()));
    current->emplace(lowerCase(entryKey(reader.line())), std::move(entry));
  }
}

bool ProfileSnapshot::hasSection(std::string_view section) const {
  if (section.size() > PROFILE_MAX_SECTION) return false;
  return m_headers.count(lowerCase("[" + std::string(section) + "]")) != 0;
}

int ProfileSnapshot::value(std::string_view section, std::string_view key, std::string& value) const {
  value.clear();
  if (section.size() > PROFILE_MAX_SECTION) return PROFILE_TOO_LONG;
  const auto header = m_headers.find(lowerCase("[" + std::string(section) + "]"));
  if (header == m_headers.end()) return PROFILE_SUCCESS;
  const Entries& entries = m_sections[header->second];
  const auto entry = entries.find(lowerCase(key));
  if (entry == entries.end()) return PROFILE_SUCCESS;
  if (!entry->second.fits) return PROFILE_TOO_LONG;
  value = entry->second.value;
  return PROFILE_SUCCESS;
}

std::size_t findNulLine(const std::string& path) {
  ProfileFile in(path.c_str(), "r");
  if (!in.isOpen()) return 0;
  ProfileLineReader reader(in.get());
  for (;;) {
    const int rc = reader.next();
    if (rc == PROFILE_SUCCESS) continue;
    return reader.heldNul() ? reader.lineNumber() : 0;
  }
}

}  // namespace zarezodud
