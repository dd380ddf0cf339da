/* The extension's background: the three roads to the print host.  The
   listeners are added at once, as the browser wakes the worker for them. */
import { installDownloadsWatch } from "./downloads_watch.js";
import { installDownloadRoad } from "./roads/downloads.js";
import { installMenuRoad } from "./roads/menu.js";
import { installPageRoad } from "./roads/page.js";

installDownloadsWatch();
installDownloadRoad();
installPageRoad();
installMenuRoad();
