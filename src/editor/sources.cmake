# The editor's sources, relative to src/.
set(VANTREL_EDITOR_SOURCES
  editor/editor.cpp
  editor/editor_keys.cpp
  editor/editor_layout.cpp
  editor/editor_resources.cpp
)
