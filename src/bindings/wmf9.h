// Binding of the Windows Media runtime substitute: tells the registries whether WMA reading and writing
// exist.
#pragma once

bool WMF9Available();
