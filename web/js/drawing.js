// What the page draws itself, as saverhost's window does: the settings
// panel with its labels, the notice in place of the preview, and the --fps
// line. All sizes are in device pixels, the canvas's own.

const kTextPixels = 12;
const kFont = `${kTextPixels}px "DejaVu Sans", sans-serif`;
const kPanelGrey = "rgb(216, 216, 216)";
const kLabelBlack = "rgb(0, 0, 0)";
const kNoticeGrey = "rgb(48, 48, 48)";
const kNoticeText = "rgb(232, 232, 232)";
// The strip under the settings panel that says how to go on, as saverhost's
// settings window has it.
export const kSettingsHintHeight = 24;


// The settings panel on a canvas of its size and the hint's strip below:
// grey, with each label's text at its frame, clipped to it, and the hint.
export function drawPanel(context, panel, hint) {
	context.fillStyle = kPanelGrey;
	context.fillRect(0, 0, panel.width, panel.height);
	context.font = kFont;
	context.textBaseline = "middle";
	// The window position of each depth's parent: items come in drawing
	// order, each followed by its children.
	const origins = [[0, 0]];
	for (const item of panel.items) {
		origins.length = item.depth + 1;
		const [parentX, parentY] = origins[item.depth];
		const [left, top, right, bottom] = item.frame;
		const x = parentX + Math.floor(left);
		const y = parentY + Math.floor(top);
		origins.push([x, y]);
		if (item.text === null)
			continue;
		const width = Math.ceil(right - left) + 1;
		const height = Math.ceil(bottom - top) + 1;
		context.save();
		context.beginPath();
		context.rect(x, y, width, height);
		context.clip();
		context.fillStyle = kLabelBlack;
		context.fillText(item.text, x, y + height / 2);
		context.restore();
	}
	context.fillStyle = kNoticeGrey;
	context.fillRect(0, panel.height, panel.width, kSettingsHintHeight);
	context.fillStyle = kNoticeText;
	context.textAlign = "center";
	context.fillText(hint, panel.width / 2, panel.height + kSettingsHintHeight / 2);
	context.textAlign = "start";
}


// Words on lines no wider than width.
function wrap(context, text, width) {
	const lines = [];
	let line = "";
	for (const word of text.split(/\s+/)) {
		const longer = line === "" ? word : `${line} ${word}`;
		if (line !== "" && context.measureText(longer).width > width) {
			lines.push(line);
			line = word;
		} else {
			line = longer;
		}
	}
	if (line !== "")
		lines.push(line);
	return lines;
}


// A notice where the saver's picture would be: the preview's shape (preview,
// { width, height }), scaled by the largest whole number that fits, with the
// text inside.
export function drawNotice(context, width, height, text, preview) {
	context.fillStyle = "black";
	context.fillRect(0, 0, width, height);
	const scale = Math.max(1, Math.min(Math.floor(width / preview.width),
		Math.floor(height / preview.height)));
	const area = { width: preview.width * scale, height: preview.height * scale };
	area.x = Math.floor((width - area.width) / 2);
	area.y = Math.floor((height - area.height) / 2);
	context.fillStyle = kNoticeGrey;
	context.fillRect(area.x, area.y, area.width, area.height);

	context.save();
	context.beginPath();
	context.rect(area.x, area.y, area.width, area.height);
	context.clip();
	context.font = kFont;
	context.fillStyle = kNoticeText;
	context.textAlign = "center";
	context.textBaseline = "middle";
	const lines = wrap(context, text, Math.max(1, area.width - 16));
	const lineHeight = Math.round(kTextPixels * 1.25);
	const top = area.y + area.height / 2 - ((lines.length - 1) * lineHeight) / 2;
	lines.forEach((line, i) => context.fillText(line, area.x + area.width / 2,
		top + i * lineHeight));
	context.restore();
}


// The figures of the fps overlay in one short line, as saverhost --fps
// gives them; a page cannot read its CPU time, so the last figure is the
// share of the time spent drawing and presenting.
export function formatStats(stats) {
	return `${stats.framesPerSecond.toFixed(1)} fps, ${stats.frameMilliseconds.toFixed(1)} ms a `
		+ `frame, ${stats.busyPercent.toFixed(0)}% busy`;
}


// Measures the run and gives its figures about once a second.
export class StatsMeter {
	constructor(now) {
		this.since = now;
		this.frames = 0;
		this.busy = 0;
	}

	// Counts one frame that cost cost milliseconds (Draw and present).
	frameDone(cost, now) {
		this.frames++;
		this.busy += cost;
		const wall = now - this.since;
		if (wall < 1000)
			return null;
		const stats = {
			framesPerSecond: (this.frames * 1000) / wall,
			frameMilliseconds: cost,
			busyPercent: (100 * this.busy) / wall,
		};
		this.since = now;
		this.frames = 0;
		this.busy = 0;
		return stats;
	}
}
