// Reads the 8-bit RGB and RGBA PNGs that Chromium's screenshots are.
import { inflateSync } from "node:zlib";

function paeth(left, up, upLeft) {
	const estimate = left + up - upLeft;
	const toLeft = Math.abs(estimate - left);
	const toUp = Math.abs(estimate - up);
	const toUpLeft = Math.abs(estimate - upLeft);
	if (toLeft <= toUp && toLeft <= toUpLeft)
		return left;
	return toUp <= toUpLeft ? up : upLeft;
}


// { width, height, channels, pixels: rows of width * channels bytes }
export function decodePng(buffer) {
	if (buffer.readUInt32BE(0) !== 0x89504e47)
		throw new Error("not a PNG");
	let offset = 8;
	let header = null;
	const data = [];
	while (offset < buffer.length) {
		const length = buffer.readUInt32BE(offset);
		const type = buffer.toString("latin1", offset + 4, offset + 8);
		const body = buffer.subarray(offset + 8, offset + 8 + length);
		if (type === "IHDR") {
			header = {
				width: body.readUInt32BE(0),
				height: body.readUInt32BE(4),
				depth: body[8],
				colour: body[9],
				interlace: body[12],
			};
		} else if (type === "IDAT") {
			data.push(body);
		}
		offset += 12 + length;
	}
	if (!header || header.depth !== 8 || (header.colour !== 2 && header.colour !== 6)
			|| header.interlace !== 0)
		throw new Error(`an unexpected PNG: ${JSON.stringify(header)}`);
	const channels = header.colour === 6 ? 4 : 3;
	const stride = header.width * channels;
	const raw = inflateSync(Buffer.concat(data));
	const pixels = Buffer.alloc(stride * header.height);
	for (let y = 0; y < header.height; y++) {
		const filter = raw[y * (stride + 1)];
		const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
		const row = y * stride;
		for (let i = 0; i < stride; i++) {
			const left = i >= channels ? pixels[row + i - channels] : 0;
			const up = y > 0 ? pixels[row - stride + i] : 0;
			const upLeft = y > 0 && i >= channels ? pixels[row - stride + i - channels] : 0;
			let predicted = 0;
			if (filter === 1)
				predicted = left;
			else if (filter === 2)
				predicted = up;
			else if (filter === 3)
				predicted = (left + up) >> 1;
			else if (filter === 4)
				predicted = paeth(left, up, upLeft);
			pixels[row + i] = (line[i] + predicted) & 0xff;
		}
	}
	return { width: header.width, height: header.height, channels, pixels };
}
