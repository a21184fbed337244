// make test-web: the page in headless Chromium, held against the native build.
//   MOONLARK_PAGE       the page (dist/web/index.html)
//   MOONLARK_CHECKSUMS  moonlark-capture --fps 60 --checksums output of the native build
//   MOONLARK_PNG_DIR    moonlark-capture --fps 60 --png output (frame_NNNNN.png) to compare
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const pageUrl = pathToFileURL(path.resolve(process.env.MOONLARK_PAGE)).href;
const nativeLines = fs.readFileSync(process.env.MOONLARK_CHECKSUMS, 'utf8').trim().split('\n');
const pngDir = process.env.MOONLARK_PNG_DIR;
const nativePngs = fs.readdirSync(pngDir).filter((name) => /^frame_\d+\.png$/.test(name));
const shotFrames = nativePngs.map((name) => Number(name.match(/\d+/)[0]));

const FRAMES_TIMEOUT_MS = 20 * 60 * 1000;
const MINUTE = 60 * 1000;

let browser;
let testRun; // the test mode's results: checksum lines, elapsed ms, and the page to ask

before(async () => {
  browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--no-first-run'],
  });
  const page = await browser.newPage();
  page.on('pageerror', (error) => console.error('page error:', error.message));
  await page.goto(`${pageUrl}?test&shots=${shotFrames.join(',')}`);
  await page.waitForFunction(() => moonlarkTest.done || moonlarkTest.failed !== null, null, {
    timeout: FRAMES_TIMEOUT_MS,
    polling: 1000,
  });
  const result = await page.evaluate(() => ({
    lines: moonlarkTest.lines,
    failed: moonlarkTest.failed,
    ms: performance.now() - moonlarkTest.started,
  }));
  testRun = { ...result, page };
});

after(async () => {
  await browser?.close();
});

test('every frame of the test mode matches the native build', () => {
  assert.equal(testRun.failed, null, `the page failed: ${testRun.failed}`);
  const count = Math.max(nativeLines.length, testRun.lines.length);
  for (let k = 0; k < count; ++k) {
    const expected = nativeLines[k] ?? '(no frame)';
    const got = testRun.lines[k] ?? '(no frame)';
    assert.equal(got, expected, `first difference at frame ${k} ("k clock state crc")`);
  }
  const fps = (testRun.lines.length * 1000) / testRun.ms;
  console.log(`${testRun.lines.length} frames identical; test mode drew ${fps.toFixed(0)} frames/s`);
});

test('canvas read-backs match the native PNG files', async () => {
  assert.ok(nativePngs.length > 0, `no frame_NNNNN.png in ${pngDir}`);
  for (const name of nativePngs) {
    const k = Number(name.match(/\d+/)[0]);
    const png = fs.readFileSync(path.join(pngDir, name)).toString('base64');
    // Decodes the native PNG in the page and compares it pixel by pixel with the canvas as it
    // was right after frame k.
    const result = await testRun.page.evaluate(
      async ({ k, png }) => {
        const shot = moonlarkTest.shots[k];
        if (!shot) return { missing: true };
        const bytes = Uint8Array.from(atob(png), (c) => c.charCodeAt(0));
        const bitmap = await createImageBitmap(new Blob([bytes], { type: 'image/png' }), {
          colorSpaceConversion: 'none',
          premultiplyAlpha: 'none',
        });
        const context = new OffscreenCanvas(320, 240).getContext('2d');
        context.drawImage(bitmap, 0, 0);
        const expected = context.getImageData(0, 0, 320, 240).data;
        let differing = 0;
        let first = null;
        for (let i = 0; i < expected.length; i += 4) {
          const same = [0, 1, 2, 3].every((c) => expected[i + c] === shot[i + c]);
          if (same) continue;
          ++differing;
          if (!first) {
            first = { x: (i / 4) % 320, y: Math.floor(i / 4 / 320), png: [...expected.slice(i, i + 4)],
                      canvas: [...shot.slice(i, i + 4)] };
          }
        }
        return { missing: false, differing, first };
      },
      { k, png },
    );
    assert.equal(result.missing, false, `the page kept no canvas of frame ${k}`);
    assert.equal(result.differing, 0, `${name}: ${result.differing} pixels differ, first ${JSON.stringify(result.first)}`);
  }
});

test('after a click the music plays, and Escape leads to a closing screen that plays again', async () => {
  const context = await browser.newContext();
  const page = await context.newPage();
  page.on('pageerror', (error) => console.error('page error:', error.message));
  // Counts the sound buffers the page hands to the browser, and those that are not silent.
  await page.addInitScript(() => {
    window.sound = { contexts: [], scheduled: 0, audible: 0 };
    const Original = window.AudioContext;
    window.AudioContext = class extends Original {
      constructor(...options) {
        super(...options);
        sound.contexts.push(this);
      }
    };
    const start = AudioBufferSourceNode.prototype.start;
    AudioBufferSourceNode.prototype.start = function (...when) {
      sound.scheduled += 1;
      if (this.buffer && this.buffer.getChannelData(0).some((v) => v !== 0)) sound.audible += 1;
      return start.apply(this, when);
    };
  });
  const prompt = page.locator('#prompt');
  const status = () =>
    page.evaluate(() => ({
      now: performance.now(),
      frames: Module._web_frames_drawn(),
      position: Module._web_music_position(),
      contexts: sound.contexts.map((c) => c.state),
      scheduled: sound.scheduled,
      audible: sound.audible,
    }));

  await page.goto(pageUrl);
  await prompt.filter({ hasText: 'Click to start' }).waitFor({ timeout: MINUTE });
  await page.mouse.click(100, 100); // a real click: the gesture the page needs for sound
  await page.waitForTimeout(1000);
  const first = await status();
  await page.waitForTimeout(3000);
  const second = await status();

  assert.deepEqual(second.contexts, ['running'], 'one audio context, running');
  assert.ok(second.audible > first.audible, `non-silent buffers keep coming: ${JSON.stringify([first, second])}`);
  assert.ok(first.position >= 0 && second.position > first.position, `the module advances: ${first.position} -> ${second.position}`);
  const fps = ((second.frames - first.frames) * 1000) / (second.now - first.now);
  console.log(`playing at ${fps.toFixed(1)} frames/s, ${second.audible} of ${second.scheduled} sound buffers audible`);
  assert.ok(second.frames > first.frames, 'frames keep coming');

  await page.keyboard.press('Escape');
  await prompt.filter({ hasText: 'Click to play again' }).waitFor({ timeout: MINUTE });
  await page.mouse.click(100, 100);
  await page.waitForTimeout(1000);
  const again = await status();
  assert.ok(again.frames > 0 && again.frames < second.frames, `a new play began: ${again.frames} frames`);
  assert.ok(again.position >= 0, 'its music plays');
  assert.deepEqual(again.contexts, ['running'], 'still one audio context');
  await context.close();
});

// The button shows while the pointer moves; it, F and a double click switch fullscreen both ways;
// Escape leaves fullscreen before it ends the demo.
test('fullscreen by the button, F and a double click; Escape leaves it first', async () => {
  const context = await browser.newContext();
  const page = await context.newPage();
  page.on('pageerror', (error) => console.error('page error:', error.message));
  const prompt = page.locator('#prompt');
  const button = page.locator('#fullscreen');
  const frames = () => page.evaluate(() => Module._web_frames_drawn());
  // Waits until the page is (or is not) fullscreen, as the step says it should be.
  const expectFullscreen = async (wanted, step) => {
    const isWanted = (w) => (document.fullscreenElement !== null) === w;
    const reached = await page
      .waitForFunction(isWanted, wanted, { timeout: 5000 })
      .then(() => true, () => false);
    assert.ok(reached, `${step}: the page should${wanted ? '' : ' not'} be fullscreen`);
  };

  await page.goto(pageUrl);
  await prompt.filter({ hasText: 'Click to start' }).waitFor({ timeout: MINUTE });
  // The viewport is 1280 x 720: the 960 x 720 picture spans x 160..1120.
  assert.equal(await button.isVisible(), false, 'no button before the pointer moves');
  await page.mouse.move(600, 300);
  await page.mouse.move(640, 320);
  assert.ok(await button.isVisible(), 'the button shows when the pointer moves');
  await page.waitForTimeout(1000);
  assert.ok(await button.isVisible(), 'the button still shows a second later');
  await button.waitFor({ state: 'hidden', timeout: 2500 });

  await page.mouse.move(600, 300);
  await button.click();
  await expectFullscreen(true, 'the button');
  await button.click();
  await expectFullscreen(false, 'the button again');
  await page.keyboard.press('f');
  await expectFullscreen(true, 'F');
  await page.keyboard.press('f');
  await expectFullscreen(false, 'F again');
  assert.equal(await prompt.textContent(), 'Click to start', 'switching does not start the demo');

  // An Escape before the play belongs to no play; then a double click goes fullscreen.
  await page.keyboard.press('Escape');
  await page.mouse.dblclick(640, 300);
  await expectFullscreen(true, 'a double click on the picture');
  await page.waitForTimeout(500);
  assert.ok(await prompt.isHidden(), 'the play goes on despite the Escape pressed before it');
  const before = await frames();
  await page.keyboard.press('Escape');
  await expectFullscreen(false, 'Escape');
  await page.waitForTimeout(500);
  assert.ok((await frames()) > before, 'the demo plays on after the Escape that left fullscreen');
  assert.ok(await prompt.isHidden(), 'no closing screen after the Escape that left fullscreen');
  await page.keyboard.press('Escape');
  await prompt.filter({ hasText: 'Click to play again' }).waitFor({ timeout: MINUTE });
  await context.close();
});
