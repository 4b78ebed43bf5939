// The panel page's behaviour: draws the device from its profile and state, sends what is done on the page
// to the device as scenario lines, shows the event stream in the log and records a session as a script.
// Text from the device only ever goes into the page as text (textContent, value), never as markup.
'use strict';

(() => {
  const token = new URLSearchParams(location.search).get('token') || '';
  const $ = (id) => document.getElementById(id);

  // The device's call states and foreground values, by the numbers `state` gives them.
  const CALL_STATES = { 0: 'idle', 1: 'incoming', 2: 'outgoing', 3: 'active', 4: 'held' };
  const FOREGROUND = { 1: 'application', 2: 'telephone' };
  // The keyboard keys that act on the focused device panel, as the virtual-key codes of the device's keys.
  const KEYBOARD = { ArrowUp: 38, ArrowDown: 40, ArrowLeft: 37, ArrowRight: 39, Enter: 13, F6: 117, F7: 118, F8: 119, F9: 120 };
  // The keys laid out as a cross around Return, by code: [row, column] in a 3 by 3 grid.
  const PAD = { 38: [1, 2], 37: [2, 1], 13: [2, 2], 39: [2, 3], 40: [3, 2] };
  const LOG_LIMIT = 500;

  let state = null;
  let displayOn = true;
  let brightestLevel = 10;
  let recording = null;
  let paused = false;
  const pausedEntries = [];
  const held = new Set();

  // ---- requests ----------------------------------------------------------------------------------------

  async function api(path, body) {
    const init = { headers: { 'X-Pndhal-Token': token } };
    if (body !== undefined) {
      init.method = 'POST';
      init.headers['Content-Type'] = 'application/json';
      init.body = JSON.stringify(body);
    }
    const response = await fetch(path, init);
    const data = await response.json();
    if (!response.ok) throw new Error(data.error || response.statusText);
    return data;
  }

  // Commands go one after the other, so that a release never overtakes its press.
  let queue = Promise.resolve();
  function command(line) {
    const sent = queue.then(() => send(line));
    queue = sent.catch(() => undefined);
    return sent;
  }

  async function send(line) {
    // An action is recorded as it is sent, so that the listener calls it causes come after it.
    const script = recording;
    const index = script ? script.push(line) - 1 : -1;
    let refusal = null;
    try {
      const reply = await api('/api/command', { line });
      if (!reply.ok) refusal = reply.reason;
      addLog({ source: 'panel', kind: '', text: line + (reply.ok ? '  OK' : '  KO: ' + reply.reason), refused: !reply.ok });
    } catch (error) {
      refusal = error.message;
      addLog({ source: 'panel', kind: '', text: line + '  failed: ' + error.message, refused: true });
    }
    if (refusal !== null && script) script[index] = null;
    showRecording();
    refreshSoon();
    return refusal === null;
  }

  // A word of a scenario line: quoted when it holds a blank, '#' or '"'.
  function word(text) {
    return /^[^\s#"]+$/.test(text) ? text : '"' + text.replace(/[\\"]/g, (c) => '\\' + c) + '"';
  }

  // ---- the device's state ------------------------------------------------------------------------------

  let refreshTimer = 0;
  function refreshSoon() {
    if (!refreshTimer) refreshTimer = setTimeout(() => { refreshTimer = 0; refresh(); }, 100);
  }

  // One request for the state at a time: a slow answer is not met by a pile of others.
  let refreshing = false;
  async function refresh() {
    if (refreshing) return refreshSoon();
    refreshing = true;
    try {
      state = await api('/api/state');
      showState();
    } catch (error) {
      setStatus('no answer from the device: ' + error.message, true);
    } finally {
      refreshing = false;
    }
  }

  function setStatus(text, lost) {
    $('link-status').textContent = text;
    $('link-status').classList.toggle('lost', lost);
  }

  // Controls the user changed and has not applied yet: the device's state does not overwrite them.
  const edited = new Set();

  function untouched(element) {
    return document.activeElement !== element && !edited.has(element);
  }

  // Sets a control from the device unless the user is working it.
  function setControl(element, value) {
    if (untouched(element)) element.value = value;
  }

  // A command built from these controls was sent: from now on they show the device again.
  function applied(...ids) {
    for (const id of ids) edited.delete($(id));
  }

  function showState() {
    const device = state.device;
    const power = device.power;
    const level = power.battery === null ? 0 : power.battery;
    $('battery-gauge').value = level;
    $('battery-now').textContent = (power.battery === null ? 'unknown' : power.battery + ' %') +
      ', flag 0x' + power.batteryFlag.toString(16).padStart(2, '0') + ', AC ' + power.ac +
      (state.suspended ? ', suspended' : '');
    setControl($('battery-level'), level);
    $('battery-level-value').textContent = $('battery-level').value + ' %';
    setControl($('battery-ac'), power.ac);

    const volume = Math.round(Math.max(device.volume.left, device.volume.right) * 100 / 65535);
    setControl($('volume'), volume);
    $('volume-value').textContent = volume + ' % (mixer 0x' + device.volume.left.toString(16) + ')';
    $('brightness-value').textContent = 'level ' + device.backlight.level;

    showScreen();
    showCards(device.cards);
    showPhone(state.telephone);
    showZone(device.zone);
  }

  function showScreen() {
    const device = state.device;
    const width = device.screen.width;
    const height = device.screen.height;
    const screen = $('screen');
    screen.style.width = width + 'px';
    screen.style.aspectRatio = width > 0 && height > 0 ? width + ' / ' + height : '16 / 9';
    const orientation = width >= height ? 'landscape' : 'portrait';
    $('screen-size').textContent = width + ' × ' + height + ' ' + orientation;
    const dark = state.suspended || !displayOn;
    screen.classList.toggle('dark', dark);
    screen.dataset.state = state.suspended ? 'suspended' : displayOn ? 'on' : 'off';
    // The light follows the backlight's raw level against the highest one seen (the default device's runs
    // from 1 to 10), never quite black while the display is on.
    brightestLevel = Math.max(brightestLevel, device.backlight.level);
    const light = device.backlight.level / brightestLevel;
    $('screen-light').style.opacity = String(0.2 + 0.8 * light);
    $('screen-state').textContent = state.suspended ? 'suspended' : displayOn
      ? 'backlight level ' + device.backlight.level : 'display off';
    screen.setAttribute('aria-label', 'the device\'s screen, ' + $('screen-size').textContent + ', ' +
      $('screen-state').textContent);
  }

  function showCards(cards) {
    const list = $('cards');
    const shown = [...list.children].map((item) => item.dataset.name);
    if (shown.length === cards.length && shown.every((name, i) => name === cards[i])) return;
    list.replaceChildren();
    for (const name of cards) {
      const item = document.createElement('li');
      item.dataset.name = name;
      const label = document.createElement('span');
      label.textContent = name;
      const remove = document.createElement('button');
      remove.type = 'button';
      remove.textContent = 'Remove';
      remove.setAttribute('aria-label', 'Remove ' + name);
      remove.addEventListener('click', () => command('card remove ' + word(name)));
      item.append(label, remove);
      list.append(item);
    }
    if (cards.length === 0) {
      const none = document.createElement('li');
      none.textContent = 'no card mounted';
      list.append(none);
    }
  }

  function showPhone(phone) {
    const call = CALL_STATES[phone.callState] || String(phone.callState);
    const front = FOREGROUND[phone.foreground] || String(phone.foreground);
    $('phone-status').textContent = (phone.running ? 'running' : 'not running') + ', call ' + call +
      ', Bluetooth ' + (phone.bluetoothPower ? 'on' : 'off') + ', in front: ' + front +
      ', volume step ' + phone.volumeStep;
    $('phone-status').dataset.running = String(phone.running);
    setControl($('phone-call'), call);
    if (untouched($('phone-bluetooth'))) $('phone-bluetooth').checked = Boolean(phone.bluetoothPower);
    setControl($('phone-foreground'), front);
    setControl($('phone-volume-step'), phone.volumeStep);
  }

  function showZone(zone) {
    const select = $('zone');
    if (!untouched(select)) return;
    if (![...select.options].some((option) => option.value === zone)) {
      const option = document.createElement('option');
      option.value = zone;
      option.textContent = zone;
      select.prepend(option);
    }
    select.value = zone;
  }

  // The device's clock runs between refreshes: the host's clock plus the device's offset, or pinned.
  function showClock() {
    if (!state) return;
    const clock = state.device.clock;
    const now = clock.pinned ? new Date(clock.pinned) : new Date(Date.now() + clock.offset);
    $('clock-now').textContent = now.toISOString().replace('.000Z', 'Z') + (clock.pinned ? ' (pinned)' : '');
  }

  // ---- the keys ----------------------------------------------------------------------------------------

  function keyButton(key) {
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'key';
    button.textContent = key.name;
    button.dataset.key = key.name;
    button.title = key.name + ' (virtual key 0x' + key.code.toString(16) + ')';
    button.addEventListener('pointerdown', (event) => {
      if (event.button !== 0) return;
      button.setPointerCapture(event.pointerId);
      pressKey(key.name);
    });
    for (const end of ['pointerup', 'pointercancel', 'lostpointercapture']) {
      button.addEventListener(end, () => releaseKey(key.name));
    }
    // Space or Enter on a focused key outside the device panel's keyboard handling: a click without a pointer.
    button.addEventListener('click', (event) => {
      if (event.detail !== 0) return;
      pressKey(key.name);
      releaseKey(key.name);
    });
    return button;
  }

  function pressKey(name) {
    if (held.has(name)) return;
    held.add(name);
    markHeld(name, true);
    command('press ' + word(name));
  }

  function releaseKey(name) {
    if (!held.delete(name)) return;
    markHeld(name, false);
    command('release ' + word(name));
  }

  function markHeld(name, on) {
    for (const button of document.querySelectorAll('.key')) {
      if (button.dataset.key === name) button.classList.toggle('held', on);
    }
  }

  function layKeys(keys) {
    const pad = document.createElement('div');
    pad.className = 'key-pad';
    pad.setAttribute('role', 'group');
    pad.setAttribute('aria-label', 'direction keys');
    const function_keys = document.createElement('div');
    function_keys.className = 'key-group';
    const others = document.createElement('div');
    others.className = 'key-group';
    for (const key of keys) {
      const button = keyButton(key);
      if (PAD[key.code]) {
        button.style.gridRow = String(PAD[key.code][0]);
        button.style.gridColumn = String(PAD[key.code][1]);
        pad.append(button);
      } else if (key.code >= 0x70 && key.code <= 0x87) {
        function_keys.append(button);
      } else {
        others.append(button);
      }
    }
    $('keys').replaceChildren(...[pad, function_keys, others].filter((group) => group.children.length > 0));
  }

  function keyboardKey(event) {
    const code = KEYBOARD[event.key];
    if (code === undefined || !state) return null;
    const key = state.device.keys.find((candidate) => candidate.code === code);
    return key ? key.name : null;
  }

  // ---- the log -----------------------------------------------------------------------------------------

  function addLog(entry) {
    const item = document.createElement('li');
    item.className = 'from-' + entry.source + (entry.refused ? ' refused' : '');
    item.dataset.source = entry.source;
    item.dataset.kind = entry.kind;
    const time = typeof entry.time === 'number' ? entry.time.toFixed(3) + '  ' : '';
    item.textContent = time + [entry.source, entry.kind, entry.text].filter((part) => part).join(' ');
    if (!shownKinds().has(entry.source)) item.classList.add('hidden');
    if (paused) {
      pausedEntries.push(item);
      if (pausedEntries.length > LOG_LIMIT) pausedEntries.shift();
      return;
    }
    appendLog([item]);
  }

  function appendLog(items) {
    const log = $('log');
    const atEnd = log.scrollTop + log.clientHeight >= log.scrollHeight - 4;
    log.append(...items);
    while (log.children.length > LOG_LIMIT) log.firstElementChild.remove();
    if (atEnd) log.scrollTop = log.scrollHeight;
  }

  function shownKinds() {
    return new Set([...document.querySelectorAll('.log-kind')].filter((box) => box.checked).map((box) => box.value));
  }

  function filterLog() {
    const shown = shownKinds();
    for (const item of $('log').children) item.classList.toggle('hidden', !shown.has(item.dataset.source));
  }

  // ---- the recording -----------------------------------------------------------------------------------

  function recordedLines() {
    return recording ? recording.filter((line) => line !== null) : [];
  }

  function showRecording() {
    const lines = recordedLines();
    $('record-script').textContent = lines.join('\n');
    $('record-count').textContent = recording ? lines.length + ' lines' : '';
    $('record-download').disabled = lines.length === 0;
  }

  function download() {
    const text = '# Recorded on the pndhal panel: replaying it passes while the library behaves the same.\n' +
      recordedLines().join('\n') + '\n';
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([text], { type: 'text/plain' }));
    link.download = 'panel.scn';
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  }

  // ---- the event stream --------------------------------------------------------------------------------

  function listen() {
    const events = new EventSource('/api/events?token=' + encodeURIComponent(token));
    events.addEventListener('open', () => setStatus('connected', false));
    events.addEventListener('error', () => setStatus('the panel stopped or the device went away', true));
    events.addEventListener('device', (message) => {
      const event = JSON.parse(message.data);
      addLog(event);
      if (event.source === 'listener') {
        $('screen-last').textContent = 'last call: ' + event.kind + ' ' + event.text;
        if (recording) recording.push('expect ' + event.kind + (event.text ? ' ' + event.text : ''));
        showRecording();
      }
      // The display's power is not device state; its platform effect says it.
      if (event.source === 'platform' && /^display\./.test(event.kind) && /\b(on|off)\b/.test(event.text)) {
        displayOn = /\bon\b/.test(event.text);
      }
      refreshSoon();
    });
  }

  // ---- wiring ------------------------------------------------------------------------------------------

  function wire() {
    for (const type of ['input', 'change']) {
      document.querySelector('main').addEventListener(type, (event) => {
        if (event.target.matches('input, select')) edited.add(event.target);
      });
    }
    $('battery-level').addEventListener('input', () => { $('battery-level-value').textContent = $('battery-level').value + ' %'; });
    $('battery-set').addEventListener('click', () => {
      const flag = $('battery-flag').value;
      command('battery ' + $('battery-level').value + (flag ? ' ' + flag : '') + ' ac ' + $('battery-ac').value);
      applied('battery-level', 'battery-flag', 'battery-ac');
    });
    $('suspend').addEventListener('click', () => command('suspend'));
    $('resume').addEventListener('click', () => command('resume'));
    $('volume').addEventListener('change', () => { command('volume ' + $('volume').value); applied('volume'); });
    $('mute').addEventListener('change', () => command('mute ' + ($('mute').checked ? 'on' : 'off')));
    $('brightness').addEventListener('change', () => command('brightness ' + $('brightness').value));
    $('display-on').addEventListener('click', async () => { if (await command('display on')) displayOn = true; showState(); });
    $('display-off').addEventListener('click', async () => { if (await command('display off')) displayOn = false; showState(); });
    $('card-mount').addEventListener('click', () => {
      const name = $('card-name').value.trim();
      if (name) command('card mount ' + word(name));
    });
    $('phone-start').addEventListener('click', () => command('phone start'));
    $('phone-stop').addEventListener('click', () => command('phone stop'));
    $('phone-call-set').addEventListener('click', () => {
      command('phone call ' + $('phone-call').value);
      applied('phone-call');
    });
    $('phone-bluetooth').addEventListener('change', () => {
      command('phone bluetooth ' + ($('phone-bluetooth').checked ? 'on' : 'off'));
      applied('phone-bluetooth');
    });
    $('phone-apply').addEventListener('click', () => {
      command('phone foreground ' + $('phone-foreground').value);
      command('phone volume-step ' + Math.trunc(Number($('phone-volume-step').value)));
      applied('phone-foreground', 'phone-volume-step');
    });
    $('clock-set').addEventListener('click', () => {
      let time = $('clock-time').value;
      if (!time) return;
      if (time.length === 16) time += ':00';
      command('clock set ' + time + 'Z');
    });
    $('zone-set').addEventListener('click', () => { command('zone ' + word($('zone').value)); applied('zone'); });

    for (const box of document.querySelectorAll('.log-kind')) box.addEventListener('change', filterLog);
    $('log-pause').addEventListener('click', () => {
      paused = !paused;
      $('log-pause').setAttribute('aria-pressed', String(paused));
      $('log-pause').textContent = paused ? 'Resume' : 'Pause';
      if (!paused) appendLog(pausedEntries.splice(0));
    });
    $('log-clear').addEventListener('click', () => { $('log').replaceChildren(); pausedEntries.length = 0; });

    $('record').addEventListener('change', () => {
      recording = $('record').checked ? [] : recording;
      showRecording();
    });
    $('record-download').addEventListener('click', download);

    const panel = $('device-panel');
    panel.addEventListener('keydown', (event) => {
      const name = keyboardKey(event);
      if (!name) return;
      event.preventDefault();
      if (!event.repeat) pressKey(name);
    });
    panel.addEventListener('keyup', (event) => {
      const name = keyboardKey(event);
      if (!name) return;
      event.preventDefault();
      releaseKey(name);
    });
    // A key held when the page loses the focus is released, as fingers leave the device.
    window.addEventListener('blur', () => { for (const name of [...held]) releaseKey(name); });
  }

  async function start() {
    wire();
    try {
      const [device, zones] = await Promise.all([api('/api/device'), api('/api/zones')]);
      $('device-name').textContent = device.console.replace(/^pndsim console \d+: /, '');
      const select = $('zone');
      for (const name of zones) {
        const option = document.createElement('option');
        option.value = name;
        option.textContent = name;
        select.append(option);
      }
      await refresh();
      layKeys(state.device.keys);
      listen();
      setInterval(showClock, 250);
      setInterval(refresh, 1000);
      document.body.dataset.ready = 'true';
    } catch (error) {
      setStatus('cannot reach the panel: ' + error.message, true);
    }
  }

  start();
})();
