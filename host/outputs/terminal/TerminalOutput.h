// The saver in a text terminal: in the terminal's own pixels where it shows
// them, through kitty's graphics protocol or as sixel images, and else each
// frame scaled down to two pixels a character cell, in 24-bit colour where the
// terminal says it has it (COLORTERM=truecolor or 24bit) and else in the
// 256-colour palette. Which, the terminal is asked on starting (TerminalProbe),
// unless --terminal-pixels says; inside tmux or screen, which pass neither
// kind of image on, it is cells. Only what changed is sent. The saver's view
// keeps the size the options give; the terminal's size only decides how large
// the picture is drawn.
//
// q, Q, Esc and Ctrl-C stop the run; a resized terminal is drawn anew at its
// new size; --fps shows a status line on the last row.
#ifndef SAVERHOST_TERMINAL_OUTPUT_H
#define SAVERHOST_TERMINAL_OUTPUT_H

#include <memory>
#include <string>
#include <vector>

#include "outputs/Output.h"
#include "outputs/terminal/TerminalKeys.h"
#include "outputs/terminal/TerminalPainter.h"
#include "outputs/terminal/TerminalPicture.h"
#include "outputs/terminal/TerminalSession.h"

class TerminalOutput : public Output {
public:
	// On standard output, with keys from standard input, or from the
	// controlling terminal when standard input is not one.
	TerminalOutput();
	// On outputFd with keys from inputFd (or none, with -1), which counts as
	// standard input; the output owns neither.
	TerminalOutput(int outputFd, int inputFd);
	~TerminalOutput() override;

	Result<Size> Open(const Options& options) override;
	bool Paced() const override { return true; }
	std::optional<int32_t> DefaultFrames() const override { return std::nullopt; }
	Result<void> Present(const PixelView& frame, const Damage& damage) override;
	OutputEvents Poll() override;
	OutputEvents WaitUntil(std::chrono::steady_clock::time_point deadline) override;

	void ShowStats(const FrameStats& stats) override;
	void ShowNotice(const std::string& text) override;
	Result<void> ShowSettings(const SettingsPanel& panel) override;

private:
	// Takes the terminal on first use, so that nothing flashes when the
	// host stops before the first frame.
	Result<void> _Begin();
	// Asks the terminal what it shows, where that is to be asked, and makes
	// the picture.
	void _ChoosePicture();
	// The terminal's size in pixels from the kernel, or else its answer
	// where it gave one before.
	Size _MeasurePixels();
	// Keys read while waiting for the terminal's answers.
	void _TakeKeys(const std::string& keys);
	// Follows a resize or a continue: measures, clears, repaints everything.
	void _FollowTerminal(std::string& out);
	void _Layout();
	void _AppendStatus(std::string& out);
	// watchKeys: a frame, which a quit typed or a signal of the host's cuts
	// short while the terminal takes it in.
	Result<void> _Write(const std::string& bytes, bool watchKeys = false);
	// Reads what was typed; true when it asks to stop (anyKey: any key),
	// or the terminal hung up.
	bool _ReadKeys(bool anyKey);
	// Waits for keys until deadline (time_point::max() for none); anyKey
	// ends the wait at the first key of any kind, or a signal.
	OutputEvents _Wait(std::chrono::steady_clock::time_point deadline, bool anyKey);
	void _DrawSettings(const SettingsPanel& panel, std::string& out) const;
	void _DrawNotice(const std::string& text, std::string& out) const;

	int fOutputFd;
	int fInputFd;
	bool fOwnsInput = false;
	bool fKeysFromStandardInput;
	bool fInputClosed = false;
	bool fOpened = false;

	std::unique_ptr<TerminalSession> fSession;
	Size fTerminal;
	Size fPixels;
	// The kernel does not know the pixel size, but the terminal answers it.
	bool fAskPixels = false;
	TerminalColors fColors = TerminalColors::Palette256;
	std::optional<TerminalPixels> fPixelsAsked;
	std::unique_ptr<TerminalPainter> fPicture;
	KeyReader fKeys;
	bool fQuitTyped = false;
	bool fClear = false;

	bool fStatusLine = false;
	bool fStatusChanged = false;
	std::string fStatus;

	std::string fBuffer;
	// Messages shown on the alternate screen, repeated on the normal one
	// once it is back.
	std::vector<std::string> fNotices;
};

#endif	// SAVERHOST_TERMINAL_OUTPUT_H
