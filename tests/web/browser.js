// Debian's Chromium, headless, launched by puppeteer-core over a pipe
// (--remote-debugging-pipe). puppeteer-core downloads no browser of its own:
// it runs the one at CHROMIUM, else /usr/bin/chromium.
import puppeteer from "puppeteer-core";

// Headless, and quiet towards the network: only the page's own server.
// puppeteer adds its own defaults (--headless=new, --disable-extensions,
// --mute-audio, ...) and a fresh profile in a temporary directory, which
// close() removes. The sandbox is off since Chromium refuses to run
// sandboxed as root, and the pages are the project's own.
const kFlags = [
	"--headless",
	"--no-sandbox",
	"--disable-gpu",
	"--disable-quic",
	"--no-first-run",
	"--no-default-browser-check",
	"--disable-background-networking",
	"--disable-component-update",
	"--disable-sync",
	"--disable-default-apps",
	"--metrics-recording-only",
];


export function launchChromium() {
	return puppeteer.launch({
		executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
		args: kFlags,
		pipe: true,
		// Each page sets its own size.
		defaultViewport: null,
	});
}


// A new tab of width x height CSS pixels, one device pixel each.
export async function newPage(browser, width, height) {
	const page = await browser.newPage();
	await page.setViewport({ width, height, deviceScaleFactor: 1 });
	return page;
}
