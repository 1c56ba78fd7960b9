// Backups of folders into store files and their playback. The service does
// not offer store-file work on the bus yet; the view says so instead of
// offering buttons that could only fail.
import React from "react";
import { EmptyState, EmptyStateBody } from "@patternfly/react-core";

export function Backups() {
  return (
    <EmptyState headingLevel="h2" titleText="Backups unavailable" id="backups-unavailable">
      <EmptyStateBody>
        This service does not offer backups and playback on the bus. Use "hearthctl store" on the machine.
      </EmptyStateBody>
    </EmptyState>
  );
}
