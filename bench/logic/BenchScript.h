// The bench host's script language: one step per line, '#' starts a comment.
//   show | close | reload | page N | frames N | hoststate N
//   dspstatus HEX (sets the DSP fault bits and sends a status report now)
//   type PAGE ID TEXT | click PAGE ID | arrow PAGE ID up|down
//   slider PAGE ID POS... | select PAGE ID INDEX | lag N
//   screenshot NAME (the control window) | benchshot NAME (the bench window)
//   fault stuck dt|mono|dipole CH | fault pinned high|low dt|mono|dipole CH
//   fault offset DB | fault drop N | fault clear
//   expect command CODE VALUE | expect field toolcontrol|process OFFSET VALUE
//   expect text PAGE ID TEXT | expect readback PAGE ID VALUE
//   ini [SECTION] KEY=VALUE (a hand edit of KelvaneCtrl.ini: unload, edit, load)
//   wait MS (the host's loop runs, no frames come) | sendall (File, Send all settings)
//   expect mark PAGE 0|1 (the page-list warning mark)
//   expect strip PART TEXT (the status strip's part 0..2 contains TEXT)
//   trend MINUTES (View, Read-back trend, showing the last 1, 10 or 30 minutes)
//   trendshot NAME (the trend window) | stream N MS (N frames, MS apart, the loop running)
//   expect box TEXT (the next step raises a message box whose text contains
//   TEXT) | answer box BUTTON (it is answered with BUTTON, "OK" otherwise)
//   note readback PAGE | expect moved PAGE DB (no read-back box of the page
//   moved by more than DB since the note)
//   key PAGE ID KEY (a key pressed on a control through the host's loop: up,
//     down, left, right, home, end, pageup, pagedown, tab, enter, escape, space,
//     backspace, delete, a letter or digit; ctrl+ and shift+ may lead)
//   settings locked|readonly|free (KelvaneCtrl.ini held open without sharing,
//     made read-only, or given back) | fault unreadable N (every Nth frame's
//     pointer leads to memory that cannot be read) | feed HZ (frames from a
//     worker thread; 0 stops)
//   check (from here on the product's invariants are checked after every step)
//   setup save NAME | setup load NAME (preview accepted) | setup cancel NAME
//     (preview cancelled): File, "Save set-up..." / "Load set-up..."; the list
//     and the preview are saved as setup-list.png and setup-preview.png
//   record PATH (File, "Save job record..."; PATH relative to the output
//     folder; the report is also shown and saved as PATH's name + ".png")
// PAGE is 0..4 (General, DT, Monopole, Dipole, Acoustic); numbers take 0x.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

struct ScriptStep {
    int line = 0;              // 1-based line in the script
    std::string verb;          // "type", "expect command", "fault stuck", ...
    std::vector<int32_t> num;  // the numeric arguments, in order
    std::string text;          // the rest of the line (type / expect text / screenshot)
    std::string word;          // a word argument: up|down, toolcontrol|process, dt|mono|dipole;
                               // ini: the section
    std::string word2;         // a second word: fault pinned's section
    std::string value;         // ini: the key's new text (text holds the key)
};

// Parses a whole script. On failure returns false and sets error to
// "line N: ..." for the first bad line.
bool ParseScript(const std::string& source, std::vector<ScriptStep>& steps, std::string& error);

// A key of the "key" step: its virtual-key code and the modifiers held.
struct ScriptKey {
    uint32_t vk = 0;
    bool ctrl = false;
    bool shift = false;
};
bool ParseScriptKey(const std::string& name, ScriptKey& out);
bool ScriptKeyKnown(const std::string& name);

// Reads an integer in decimal or 0x hex with an optional sign; false if the
// whole token is not a number or does not fit 32 bits.
bool ParseScriptInt(const std::string& token, int32_t& out);

}  // namespace kelvane
