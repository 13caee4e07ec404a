#pragma once
// What the tests need to use the programs as a person would, one header per
// concern: message pumping and real input, dialogs and message boxes, list
// views from outside, processes, files and list files, the registry, sound.
// Knows no program.
#include "Dialogs.h"
#include "Files.h"
#include "Input.h"
#include "ListViews.h"
#include "MessageBoxAnswerer.h"
#include "Processes.h"
#include "Registry.h"
#include "Sound.h"
#include "UniqueHandle.h"
