// What the page draws itself, as saverhost's window does: the settings
// panel with its labels, the notice in place of the preview, and the --fps
// line. All sizes are in device pixels, the canvas's own.

const kTextPixels = 12;
const kFont = `${kTextPixels}px "DejaVu Sans", sans-serif`;
const kPanelGrey = "rgb(216, 216, 216)";
const kLabelBlack = "rgb(0, 0, 0)";
const kNoticeGrey = "rgb(48, 48, 48)";
const kNoticeText = "rgb(232, 232, 232)";
export const kPreviewSize = { width: 80, height: 60 };


// The shortest text that reads back as the same float, as saverhost's
// listing writes a coordinate: 10, not 10.000000.
function coordinate(value) {
	for (let digits = 1; digits <= 9; digits++) {
		const shortest = Number(value.toPrecision(digits));
		if (Math.fround(shortest) === value)
			return String(shortest);
	}
	return String(value);
}


function quoted(text) {
	return `"${text.replace(/[\\"]/g, "\\$&").replace(/\n/g, "\\n").replace(/\t/g, "\\t")
		.replace(/[\x00-\x1f\x7f]/g, (c) => `\\x${c.charCodeAt(0).toString(16).padStart(2, "0")}`)}"`;
}


// A view of the panel on one line, as saverhost --config lists it:
// BStringView frame (10, 10, 200, 35) "No configuration options...yet"
export function describeItem(item) {
	const [left, top, right, bottom] = item.frame.map(coordinate);
	let line = `${"  ".repeat(item.depth)}${item.className} frame (${left}, ${top}, ${right}, `
		+ `${bottom})`;
	if (item.text !== null)
		line += ` ${quoted(item.text)}`;
	return line;
}


// The settings panel on a canvas of its size: grey, with each label's text
// at its frame, clipped to it.
export function drawPanel(context, panel) {
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


// A notice where the saver's picture would be: the preview's shape, scaled
// by the largest whole number that fits, with the text inside.
export function drawNotice(context, width, height, text) {
	context.fillStyle = "black";
	context.fillRect(0, 0, width, height);
	const scale = Math.max(1, Math.min(Math.floor(width / kPreviewSize.width),
		Math.floor(height / kPreviewSize.height)));
	const area = { width: kPreviewSize.width * scale, height: kPreviewSize.height * scale };
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
