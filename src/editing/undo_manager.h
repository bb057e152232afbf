// Undo and redo stacks of action groups. An action registered while undoing goes onto the
// redo stack, one registered while redoing onto the undo stack, any other onto the undo stack
// and clears the redo stack. Actions registered outside an open group form a group of their
// own. The clean mark remembers the state at the last save, for the modified flag.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sw {

class UndoManager {
 public:
  using Action = std::function<void()>;

  void beginUndoGrouping();
  // Closes the innermost group; a top-level group without actions is dropped.
  void endUndoGrouping();
  int groupingLevel() const { return groupingLevel_; }

  void registerUndo(Action action);
  // Names the group being built (or the last one closed, when none is open).
  void setActionName(const std::string& name);
  std::string undoActionName() const;
  std::string redoActionName() const;

  bool canUndo() const { return !undoStack_.empty(); }
  bool canRedo() const { return !redoStack_.empty(); }
  // Runs the top group's actions in reverse order. Throws std::logic_error inside an open
  // group. An action that throws ends the undo; what it registered so far is kept.
  void undo();
  void redo();
  bool isUndoing() const { return state_ == State::Undoing; }
  bool isRedoing() const { return state_ == State::Redoing; }

  // While disabled (counted), registrations are ignored.
  void disableUndoRegistration() { ++disabled_; }
  void enableUndoRegistration() {
    if (disabled_ > 0) --disabled_;
  }
  bool isUndoRegistrationEnabled() const { return disabled_ == 0; }

  void removeAllActions();
  // The clean state: the current one after markClean(), again whenever undo or redo come back
  // to it; lost for good when the stack it was on is cleared by a new change.
  void markClean();
  bool isClean() const { return currentID() == cleanID_; }
  size_t undoCount() const { return undoStack_.size(); }
  size_t redoCount() const { return redoStack_.size(); }

 private:
  struct Group {
    std::vector<Action> actions;
    std::string name;
    uint64_t id = 0;
  };
  enum class State { Normal, Undoing, Redoing };

  uint64_t currentID() const { return undoStack_.empty() ? 0 : undoStack_.back().id; }
  void run(std::vector<Group>& from, std::vector<Group>& to, State state);

  std::vector<Group> undoStack_;
  std::vector<Group> redoStack_;
  Group open_;           // the top-level group being built
  Group* target_ = nullptr;  // where registrations go while undoing or redoing
  int groupingLevel_ = 0;
  int disabled_ = 0;
  State state_ = State::Normal;
  uint64_t nextID_ = 1;
  uint64_t cleanID_ = 0;
  static constexpr uint64_t kNever = UINT64_MAX;
};

}  // namespace sw
