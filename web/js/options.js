// The page's options, from its query string, with saverhost's names and
// limits: ?clock=T&size=WxH&frames=N&digest, and fps, config, preview. A
// parameter given twice takes the last value, as saverhost's options do.

const kMaxFrames = 2147483647;
const kInt64Min = -(2n ** 63n);
const kInt64Max = 2n ** 63n - 1n;

export class OptionError extends Error {}


function parseSize(text, maxViewSide) {
	const match = /^(\d+)[xX](\d+)$/.exec(text);
	if (!match)
		throw new OptionError(`size=${text}: expected WIDTHxHEIGHT in pixels, as in 640x480`);
	const width = Number(match[1]);
	const height = Number(match[2]);
	if (width < 1 || height < 1)
		throw new OptionError(`size=${text}: width and height must be at least 1`);
	if (width > maxViewSide || height > maxViewSide)
		throw new OptionError(`size=${text}: width and height must be at most ${maxViewSide}`);
	return { width, height };
}


function parseFrames(text) {
	if (!/^\d+$/.test(text) || Number(text) > kMaxFrames)
		throw new OptionError(`frames=${text}: expected a whole number from 0 to ${kMaxFrames}`);
	return Number(text);
}


function parseClock(text) {
	if (/^-?\d+$/.test(text)) {
		const seconds = BigInt(text);
		if (seconds > kInt64Min && seconds < kInt64Max)
			return seconds;
	}
	throw new OptionError(`clock=${text}: expected whole seconds since 1970-01-01 00:00 UTC, `
		+ "as in 1000000000");
}


// Each of the parameter's values parsed in turn, as saverhost reads its
// options: the last one, or null when there is none.
function last(params, name, parse) {
	const values = params.getAll(name).map(parse);
	return values.length > 0 ? values[values.length - 1] : null;
}


function flag(params, name) {
	return last(params, name, (value) => {
		if (value !== "" && value !== "1" && value !== "true")
			throw new OptionError(`${name}=${value}: a flag takes no value, as in ?${name}`);
		return true;
	}) ?? false;
}


const kKnown = new Set(["clock", "size", "frames", "digest", "fps", "config", "preview"]);

// { clock: BigInt or null, size: {width, height} or null, frames: number or
// null, digest, fps, config, preview: booleans }, with sides of at most
// maxViewSide; an OptionError says what is wrong.
export function parseOptions(search, maxViewSide) {
	const params = new URLSearchParams(search);
	for (const name of params.keys()) {
		if (!kKnown.has(name)) {
			throw new OptionError(`unknown option "${name}"; the page takes `
				+ "clock=T, size=WxH, frames=N, digest, fps, config and preview");
		}
	}
	return {
		clock: last(params, "clock", parseClock),
		size: last(params, "size", (text) => parseSize(text, maxViewSide)),
		frames: last(params, "frames", parseFrames),
		digest: flag(params, "digest"),
		fps: flag(params, "fps"),
		config: flag(params, "config"),
		preview: flag(params, "preview"),
	};
}


// Whether the options run the saver, as saverhost's: --config alone only
// shows the settings.
export function runsSaver(options) {
	return !options.config || options.frames !== null || options.preview || options.digest
		|| options.fps;
}
