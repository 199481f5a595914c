# The editor's sources, relative to src/.
set(VANTREL_EDITOR_SOURCES
  editor/editor.cpp
)
