#include "editing/editor_feedback.h"

#include <cstdio>
#include <mutex>

#include "editing/editor_strings.h"

namespace sw {

namespace {

std::mutex gMutex;
EditorFeedback::BeepHandler gBeep;
EditorFeedback::TrackAdditionHandler gTrackAddition;

}  // namespace

EditorFeedback::BeepHandler EditorFeedback::setBeepHandler(BeepHandler handler) {
  std::lock_guard lock(gMutex);
  std::swap(gBeep, handler);
  return handler;
}

EditorFeedback::TrackAdditionHandler EditorFeedback::setTrackAdditionHandler(TrackAdditionHandler handler) {
  std::lock_guard lock(gMutex);
  std::swap(gTrackAddition, handler);
  return handler;
}

void EditorFeedback::beep() {
  BeepHandler handler;
  {
    std::lock_guard lock(gMutex);
    handler = gBeep;
  }
  if (handler) handler();
}

bool EditorFeedback::confirmTrackAddition(int currentTracks) {
  TrackAdditionHandler handler;
  {
    std::lock_guard lock(gMutex);
    handler = gTrackAddition;
  }
  if (!handler) return false;
  TrackAdditionPrompt prompt;
  prompt.message = localizedString("Do you want to add a new track?");
  char informative[160];
  std::snprintf(informative, sizeof informative,
                localizedString("This document currently contains %d track(s).").c_str(), currentTracks);
  prompt.informativeText = informative;
  prompt.addButton = localizedString("Add");
  prompt.cancelButton = localizedString("Cancel");
  prompt.currentTracks = currentTracks;
  return handler(prompt);
}

}  // namespace sw
