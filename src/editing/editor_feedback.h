// How the editing engine reaches the user without a window of its own: the beep for a value
// that cannot be set, and the question whether to add a track. A front end installs handlers;
// without them the beep is silent and the question is answered "Cancel".
#pragma once

#include <functional>
#include <string>

namespace sw {

struct TrackAdditionPrompt {
  std::string message;          // "Do you want to add a new track?"
  std::string informativeText;  // "This document currently contains 3 track(s)."
  std::string addButton;        // "Add"
  std::string cancelButton;     // "Cancel"
  int currentTracks = 0;
};

class EditorFeedback {
 public:
  using BeepHandler = std::function<void()>;
  // Answers true for "Add".
  using TrackAdditionHandler = std::function<bool(const TrackAdditionPrompt&)>;

  // Each returns the previous handler.
  static BeepHandler setBeepHandler(BeepHandler handler);
  static TrackAdditionHandler setTrackAdditionHandler(TrackAdditionHandler handler);

  static void beep();
  static bool confirmTrackAddition(int currentTracks);
};

}  // namespace sw
