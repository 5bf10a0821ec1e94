// PhaseChainGuard: keeps the chain of phases being visited by validation or processing, so
// that sub-module sections naming each other in a cycle are refused instead of recursing
// without end. Section names match ignoring ASCII case, as section headers do.
//
// Thread-safety: the chain belongs to one processor, used from one thread.
#ifndef ZAREZODUD_ENGINE_PHASE_CHAIN_H
#define ZAREZODUD_ENGINE_PHASE_CHAIN_H

#include <string>
#include <vector>

namespace zarezodud {

class PhaseChainGuard {
 public:
  // Enters phase into chain unless it is already there (then entered() is false and
  // cycleMessage() tells the cycle). Leaves the chain on destruction.
  PhaseChainGuard(std::vector<std::string>& chain, const std::string& phase);
  ~PhaseChainGuard();
  PhaseChainGuard(const PhaseChainGuard&) = delete;
  PhaseChainGuard& operator=(const PhaseChainGuard&) = delete;

  bool entered() const { return m_entered; }
  // "Phase [<phase>] is part of a cycle: [A -> B -> A]."
  std::string cycleMessage() const;

 private:
  std::vector<std::string>& m_chain;
  std::string m_phase;
  bool m_entered;
};

}  // namespace zarezodud

#endif
