// String-table ids (200 to 399) of the user texts of the session, the application start-up, the portal windows and the connection (win/session, win/app, win/portal, win/protocol).
// Plain #defines: read by windres and by C++. The texts themselves are in StringsSession.rc2.
#pragma once
