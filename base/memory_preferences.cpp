#include "base/memory_preferences.h"

namespace quorvel {

std::string CMemoryPreferences::StoredText(const char* name) const {
  const auto it = m_texts.find(name);
  return it == m_texts.end() ? std::string() : it->second;
}

int CMemoryPreferences::WriteCount(const char* name) const {
  const auto it = m_writes.find(name);
  return it == m_writes.end() ? 0 : it->second;
}

bool CMemoryPreferences::LoadText(const char* name, std::string* value) {
  const auto it = m_texts.find(name);
  if (it == m_texts.end()) return false;
  *value = it->second;
  return true;
}

void CMemoryPreferences::StoreText(const char* name, const std::string& value) {
  m_numbers.erase(name);
  m_texts[name] = value;
  ++m_writes[name];
}

bool CMemoryPreferences::LoadInt(const char* name, int32_t* value) {
  const auto it = m_numbers.find(name);
  if (it == m_numbers.end()) return false;
  *value = it->second;
  return true;
}

void CMemoryPreferences::StoreInt(const char* name, int32_t value) {
  m_texts.erase(name);
  m_numbers[name] = value;
  ++m_writes[name];
}

}  // namespace quorvel
