// sw.js: the web app's service worker. It keeps the app's files, so that once visited the page
// opens and plays with no network. The build names the cache after what the files hold: a new
// build on the host is a new worker, which the browser installs on the next visit with the
// network there; it fetches the new files anew and deletes the caches of the builds before.
'use strict';

const CACHE = 'velmorade-@VERSION@';
const FILES = '@FILES@'.split(','); // the page first, then the files beside it

self.addEventListener('install', event => {
  // From the host, not from the browser's HTTP cache, which may still hold the build before.
  event.waitUntil(caches.open(CACHE)
    .then(cache => cache.addAll(FILES.map(file => new Request(file, { cache: 'reload' }))))
    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', event => {
  event.waitUntil(caches.keys()
    .then(names => Promise.all(names.filter(name => name.startsWith('velmorade-') && name !== CACHE)
      .map(name => caches.delete(name))))
    .then(() => self.clients.claim()));
});

// The kept files first, the network for anything else. A page asked for with a query (a home
// screen's start URL, a link with tracking) is still the page.
self.addEventListener('fetch', event => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(caches.open(CACHE)
    .then(cache => cache.match(request, { ignoreSearch: request.mode === 'navigate' }))
    .then(kept => kept || fetch(request)));
});
