// PhaseChain and PhaseChainGuard: keep the chain of phases being visited by validation or
// processing, so that sub-module sections naming each other in a cycle are refused instead of
// recursing without end. Section names match ignoring ASCII case, as section headers do.
// Entering, leaving and the cycle test take constant time, however deep the chain.
//
// Thread-safety: the chain belongs to one processor, used from one thread.
#ifndef ZAREZODUD_ENGINE_PHASE_CHAIN_H
#define ZAREZODUD_ENGINE_PHASE_CHAIN_H

#include <string>
#include <unordered_set>
#include <vector>

namespace zarezodud {

class PhaseChain {
 public:
  bool empty() const { return m_phases.empty(); }
  // True when phase (ignoring ASCII case) is in the chain.
  bool contains(const std::string& phase) const;
  // The phases, outermost first.
  const std::vector<std::string>& phases() const { return m_phases; }
  // Adds phase at the inner end; the caller has checked that it is not in the chain yet.
  void push(const std::string& phase);
  // Removes the innermost phase; the chain must not be empty.
  void pop();

 private:
  std::vector<std::string> m_phases;
  std::unordered_set<std::string> m_keys;  // the phases in lower case
};

class PhaseChainGuard {
 public:
  // Enters phase into chain unless it is already there (then entered() is false and
  // cycleMessage() tells the cycle). Leaves the chain on destruction.
  PhaseChainGuard(PhaseChain& chain, const std::string& phase);
  ~PhaseChainGuard();
  PhaseChainGuard(const PhaseChainGuard&) = delete;
  PhaseChainGuard& operator=(const PhaseChainGuard&) = delete;

  bool entered() const { return m_entered; }
  // "Phase [<phase>] is part of a cycle: [A -> B -> A]."
  std::string cycleMessage() const;

 private:
  PhaseChain& m_chain;
  std::string m_phase;
  bool m_entered;
};

// "Phase [<phase>] is part of a cycle: [A -> B -> A].": the chain from phase's first place
// in it, then phase again.
std::string cycleMessage(const PhaseChain& chain, const std::string& phase);

}  // namespace zarezodud

#endif
