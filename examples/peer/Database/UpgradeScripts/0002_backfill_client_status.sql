-- Marks clients without a last-seen time as never seen (status 2).
INSERT INTO dbo.ExecutedScripts (name) VALUES (N'0002_backfill_client_status.sql');
UPDATE dbo.APP_Client SET status = 2 WHERE lastSeen IS NULL AND status = 0;
PRINT 'Clients marked as never seen: ' + CAST(@@ROWCOUNT AS nvarchar(20));
GO
