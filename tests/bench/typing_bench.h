// The abbreviations' figures for the agent bench.
#pragma once

#include <windows.h>

struct TypingFigures {
    double hookMedianUs; // in the keyboard hook procedure, with 500 abbreviations
    double hookP99Us;
    double matchMedianUs; // read and matched on the agent's thread
    double matchP99Us;
    double noHook; // ms from a key press to its character in an edit control
    double doNothingHook;
    double agentHook;
    double expansionMs; // the ending character to the last of 100 typed
};

// The store of 500 abbreviations the agent runs with here.
void WriteAbbreviationStore();
// Measures with no hook, with a do-nothing keyboard hook of a program of its
// own and with the agent's, which the functions start and stop.
TypingFigures MeasureAbbreviations(bool (*startAgent)(), void (*stopAgent)(),
                                   bool (*startDoNothing)(), void (*stopDoNothing)());
