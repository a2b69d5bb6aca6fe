// Registry of the windows that the screenshot tool shows and saves.
//
// Each shots_*.cpp file in this folder registers its windows:
//
//   TOLVANE_SHOT(config_dialog, [](EditorState &state) -> QWidget * {
//       return new ConfigDialog(state.config);
//   });
//
// The tool shows each window, waits until it is drawn, and saves
// <output folder>/<name>.png. The window is deleted afterwards.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

struct EditorState;

using ShotMaker = std::function<QWidget*(EditorState&)>;

bool RegisterShot(const char* name, ShotMaker make);

#define TOLVANE_SHOT(name, ...) static const bool tolvane_shot_##name = RegisterShot(#name, __VA_ARGS__)
