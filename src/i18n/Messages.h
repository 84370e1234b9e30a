#pragma once
#include <string>

namespace tabulonix {

// The run-time message with the given ID ("M001" ... "M043"): from the current language
// file when one is open, else the English default of the message table.
std::string LangMessage(const std::string& id);

// The English default of a message ID ("" for an unknown ID).
const std::string& DefaultMessage(const std::string& id);

} // namespace tabulonix
