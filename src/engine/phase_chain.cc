#include "engine/phase_chain.h"

#include "config/text_trim.h"
#include "log/format_message.h"

namespace zarezodud {

PhaseChainGuard::PhaseChainGuard(std::vector<std::string>& chain, const std::string& phase)
    : m_chain(chain), m_phase(phase), m_entered(true) {
  for (const std::string& visited : chain) {
    if (equalsIgnoreCase(visited, phase)) {
      m_entered = false;
      return;
    }
  }
  m_chain.push_back(phase);
}

PhaseChainGuard::~PhaseChainGuard() {
  if (m_entered) m_chain.pop_back();
}

std::string PhaseChainGuard::cycleMessage() const {
  std::string joined;
  bool inCycle = false;
  for (const std::string& visited : m_chain) {
    if (!inCycle && equalsIgnoreCase(visited, m_phase)) inCycle = true;
    if (inCycle) joined += visited + " -> ";
  }
  joined += m_phase;
  return formatMessage("Phase [%s] is part of a cycle: [%s].", m_phase.c_str(), joined.c_str());
}

}  // namespace zarezodud
