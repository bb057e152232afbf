#include "editing/undo_manager.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using sw::UndoManager;

// A counter changed through the manager, with its inverse registered as an application does.
struct Counter {
  UndoManager& undo;
  int value = 0;
  void add(int amount) {
    value += amount;
    undo.registerUndo([this, amount] { add(-amount); });
  }
};

TEST(UndoManager, GroupsUndoAndRedoAsOneStepWithTheirNames) {
  UndoManager undo;
  Counter c{undo};
  undo.beginUndoGrouping();
  c.add(1);
  undo.beginUndoGrouping();  // nested groups join the outer one
  c.add(10);
  undo.endUndoGrouping();
  undo.setActionName("Paste");
  undo.endUndoGrouping();
  c.add(100);  // outside a group: a step of its own
  undo.setActionName("Delete");
  EXPECT_EQ(undo.undoCount(), 2u);
  EXPECT_EQ(undo.undoActionName(), "Delete");

  undo.undo();
  EXPECT_EQ(c.value, 11);
  EXPECT_EQ(undo.undoActionName(), "Paste");
  EXPECT_EQ(undo.redoActionName(), "Delete");
  undo.undo();
  EXPECT_EQ(c.value, 0);
  EXPECT_FALSE(undo.canUndo());
  undo.redo();
  EXPECT_EQ(c.value, 11);
  EXPECT_EQ(undo.redoActionName(), "Delete");
  undo.redo();
  EXPECT_EQ(c.value, 111);
  EXPECT_FALSE(undo.canRedo());
  undo.undo();
  undo.undo();
  undo.redo();
  EXPECT_EQ(c.value, 11);
}

TEST(UndoManager, ANewChangeDropsTheRedoStack) {
  UndoManager undo;
  Counter c{undo};
  c.add(1);
  c.add(2);
  undo.undo();
  ASSERT_TRUE(undo.canRedo());
  c.add(5);
  EXPECT_FALSE(undo.canRedo());
  undo.undo();
  undo.undo();
  EXPECT_EQ(c.value, 0);
}

TEST(UndoManager, EmptyGroupsLeaveNoStepAndRegistrationCanBeSwitchedOff) {
  UndoManager undo;
  Counter c{undo};
  undo.beginUndoGrouping();
  undo.endUndoGrouping();
  EXPECT_FALSE(undo.canUndo());
  undo.disableUndoRegistration();
  c.add(3);
  undo.enableUndoRegistration();
  EXPECT_FALSE(undo.canUndo());
  EXPECT_THROW(undo.endUndoGrouping(), std::logic_error);
}

TEST(UndoManager, UndoInsideAnOpenGroupIsRefused) {
  UndoManager undo;
  Counter c{undo};
  c.add(1);
  undo.beginUndoGrouping();
  EXPECT_THROW(undo.undo(), std::logic_error);
  undo.endUndoGrouping();
  undo.undo();
  EXPECT_EQ(c.value, 0);
}

TEST(UndoManager, AThrowingActionLeavesTheManagerUsable) {
  UndoManager undo;
  Counter c{undo};
  c.add(1);
  undo.registerUndo([] { throw std::runtime_error("broken"); });
  EXPECT_THROW(undo.undo(), std::runtime_error);
  EXPECT_FALSE(undo.isUndoing());
  undo.undo();
  EXPECT_EQ(c.value, 0);
  c.add(2);
  EXPECT_EQ(undo.undoCount(), 1u);
}

TEST(UndoManager, CleanStateFollowsUndoAndRedoBackToTheSavePoint) {
  UndoManager undo;
  Counter c{undo};
  EXPECT_TRUE(undo.isClean());
  c.add(1);
  EXPECT_FALSE(undo.isClean());
  undo.undo();
  EXPECT_TRUE(undo.isClean());  // back at the opened state

  c.add(2);
  c.add(3);
  undo.markClean();  // saved with 2 and 3
  c.add(4);
  EXPECT_FALSE(undo.isClean());
  undo.undo();
  EXPECT_TRUE(undo.isClean());
  undo.undo();
  EXPECT_FALSE(undo.isClean());
  undo.redo();
  EXPECT_TRUE(undo.isClean());

  // Undone past the save point, then changed: the saved state cannot come back.
  undo.undo();
  c.add(9);
  while (undo.canUndo()) {
    undo.undo();
    EXPECT_FALSE(undo.isClean());
  }
}

TEST(UndoManager, RemovingAllActionsKeepsTheModifiedFlag) {
  UndoManager undo;
  Counter c{undo};
  c.add(1);
  undo.markClean();
  undo.removeAllActions();  // a save clears the history
  EXPECT_TRUE(undo.isClean());
  c.add(1);
  undo.removeAllActions();
  EXPECT_FALSE(undo.isClean());
  EXPECT_FALSE(undo.canUndo());
}

}  // namespace
