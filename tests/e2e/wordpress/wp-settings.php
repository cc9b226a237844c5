<?php
// Stands in for WordPress's own wp-settings.php, which wp-config.php loads last: records that it
// ran, and the table prefix it was given.
$GLOBALS['wp_settings_loaded'] = $table_prefix ?? 'no prefix';
