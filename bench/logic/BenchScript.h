// The bench host's script language: one step per line, '#' starts a comment.
//   show | close | reload | page N | frames N | hoststate N
//   dspstatus HEX (sets the DSP fault bits and sends a status report now)
//   type PAGE ID TEXT | click PAGE ID | arrow PAGE ID up|down
//   slider PAGE ID POS... | select PAGE ID INDEX | lag N
//   screenshot NAME (the control window) | benchshot NAME (the bench window)
//   fault stuck dt|mono|dipole CH | fault offset DB | fault drop N | fault clear
//   expect command CODE VALUE | expect field toolcontrol|process OFFSET VALUE
//   expect text PAGE ID TEXT | expect readback PAGE ID VALUE
//   ini [SECTION] KEY=VALUE (a hand edit of KelvaneCtrl.ini: unload, edit, load)
//   wait MS (the host's loop runs, no frames come) | sendall (File, Send all settings)
//   expect mark PAGE 0|1 (the page-list warning mark)
//   expect strip PART TEXT (the status strip's part 0..2 contains TEXT)
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
    int line = 0;                   // 1-based line in the script
    std::string verb;               // "type", "expect command", "fault stuck", ...
    std::vector<int32_t> num;       // the numeric arguments, in order
    std::string text;               // the rest of the line (type / expect text / screenshot)
    std::string word;               // a word argument: up|down, toolcontrol|process, dt|mono|dipole;
                                    // ini: the section
    std::string value;              // ini: the key's new text (text holds the key)
};

// Parses a whole script. On failure returns false and sets error to
// "line N: ..." for the first bad line.
bool ParseScript(const std::string& source, std::vector<ScriptStep>& steps, std::string& error);

// Reads an integer in decimal or 0x hex with an optional sign; false if the
// whole token is not a number or does not fit 32 bits.
bool ParseScriptInt(const std::string& token, int32_t& out);

}  // namespace kelvane
