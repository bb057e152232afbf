#include "editing/undo_manager.h"

#include <stdexcept>

namespace sw {

void UndoManager::beginUndoGrouping() {
  if (groupingLevel_++ == 0 && state_ == State::Normal) open_ = Group{};
}

void UndoManager::endUndoGrouping() {
  if (groupingLevel_ == 0) throw std::logic_error("endUndoGrouping without beginUndoGrouping");
  if (--groupingLevel_ > 0 || state_ != State::Normal) return;
  if (open_.actions.empty()) return;
  open_.id = nextID_++;
  // A new change: the states that were undone cannot come back.
  for (const Group& g : redoStack_)
    if (g.id == cleanID_) cleanID_ = kNever;
  redoStack_.clear();
  undoStack_.push_back(std::move(open_));
  open_ = Group{};
}

void UndoManager::registerUndo(Action action) {
  if (disabled_ > 0 || !action) return;
  if (state_ != State::Normal) {
    target_->actions.push_back(std::move(action));
    return;
  }
  const bool implicit = groupingLevel_ == 0;
  if (implicit) beginUndoGrouping();
  open_.actions.push_back(std::move(action));
  if (implicit) endUndoGrouping();
}

void UndoManager::setActionName(const std::string& name) {
  if (state_ != State::Normal) {
    target_->name = name;
  } else if (groupingLevel_ > 0) {
    open_.name = name;
  } else if (!undoStack_.empty()) {
    undoStack_.back().name = name;
  }
}

std::string UndoManager::undoActionName() const { return undoStack_.empty() ? "" : undoStack_.back().name; }
std::string UndoManager::redoActionName() const { return redoStack_.empty() ? "" : redoStack_.back().name; }

void UndoManager::run(std::vector<Group>& from, std::vector<Group>& to, State state) {
  if (groupingLevel_ > 0) throw std::logic_error("undo or redo inside an open undo group");
  if (state_ != State::Normal || from.empty()) return;
  Group group = std::move(from.back());
  from.pop_back();
  // The inverse group keeps the id, so the clean mark follows an undo and redo round trip.
  Group inverse;
  inverse.name = group.name;
  inverse.id = group.id;
  struct Restore {
    UndoManager* self;
    Group* inverse;
    std::vector<Group>* to;
    ~Restore() {
      self->state_ = State::Normal;
      self->target_ = nullptr;
      if (!inverse->actions.empty()) to->push_back(std::move(*inverse));
    }
  } restore{this, &inverse, &to};
  state_ = state;
  target_ = &inverse;
  for (auto it = group.actions.rbegin(); it != group.actions.rend(); ++it) (*it)();
}

void UndoManager::undo() { run(undoStack_, redoStack_, State::Undoing); }

void UndoManager::redo() { run(redoStack_, undoStack_, State::Redoing); }

void UndoManager::removeAllActions() {
  const bool clean = isClean();
  undoStack_.clear();
  redoStack_.clear();
  cleanID_ = clean ? 0 : kNever;
}

void UndoManager::markClean() { cleanID_ = currentID(); }

}  // namespace sw
