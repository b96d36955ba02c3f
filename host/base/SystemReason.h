// The system's reason for a failed call as saverhost's messages quote it:
// strerror()'s words with a lower-case first letter, so that they read on
// after a colon as the host's own do: cannot write "x.png": no space left on
// device.
#ifndef SAVERHOST_SYSTEM_REASON_H
#define SAVERHOST_SYSTEM_REASON_H

#include <cstring>
#include <string>

inline std::string
SystemReason(int error)
{
	std::string reason = std::strerror(error);
	if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z')
		reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
	return reason;
}

#endif	// SAVERHOST_SYSTEM_REASON_H
