; The resident command shell (placeholder).
