// The deliverable's page context under the name the framework uses. Each
// deliverable defines its own structure (FolderPageContext,
// FilePageContext, DrivePageContext) and names it, with its header, in the
// compile definitions DRESS_PAGE_CONTEXT and DRESS_PAGE_CONTEXT_HEADER.
#pragma once

#include DRESS_PAGE_CONTEXT_HEADER

typedef DRESS_PAGE_CONTEXT PageContext;
