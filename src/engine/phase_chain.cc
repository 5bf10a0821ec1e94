#include "engine/phase_chain.h"

#include <cctype>

#include "base/text_trim.h"
#include "log/format_message.h"

namespace zarezodud {

namespace {

std::string lowerCase(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

bool PhaseChain::contains(const std::string& phase) const { return m_keys.count(lowerCase(phase)) != 0; }

void PhaseChain::push(const std::string& phase) {
  m_phases.push_back(phase);
  m_keys.insert(lowerCase(phase));
}

void PhaseChain::pop() {
  m_keys.erase(lowerCase(m_phases.back()));
  m_phases.pop_back();
}

PhaseChainGuard::PhaseChainGuard(PhaseChain& chain, const std::string& phase)
    : m_chain(chain), m_phase(phase), m_entered(!chain.contains(phase)) {
  if (m_entered) m_chain.push(phase);
}

PhaseChainGuard::~PhaseChainGuard() {
  if (m_entered) m_chain.pop();
}

std::string PhaseChainGuard::cycleMessage() const { return zarezodud::cycleMessage(m_chain, m_phase); }

std::string cycleMessage(const PhaseChain& chain, const std::string& phase) {
  std::string joined;
  bool inCycle = false;
  for (const std::string& visited : chain.phases()) {
    if (!inCycle && equalsIgnoreCase(visited, phase)) inCycle = true;
    if (inCycle) joined += visited + " -> ";
  }
  joined += phase;
  return formatMessage("Phase [%s] is part of a cycle: [%s].", phase.c_str(), joined.c_str());
}

}  // namespace zarezodud
