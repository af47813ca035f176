#pragma once

// Every toolkit area up and down, in their fixed orders. The private heap must exist first.
void ToolkitStartUp();
void ToolkitShutDown();
